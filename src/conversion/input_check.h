// What the run and the transfer require of the window's boxes before they
// open any book. The window may use the same tests as the operator types.
#pragma once

#include <string>
#include <string_view>

#include "conversion/form_view.h"
#include "errortrap/trap.h"

namespace varnok::conversion {

// The first character of a typed (UTF-8) text that a gun book cannot hold,
// described for a message: a control character such as
// "the control character U+0009 (tab)", a character outside Windows-1252
// such as "the character U+1F600", or a byte that begins no UTF-8
// character, "the byte 0xFF (not valid UTF-8 text)". Empty when the book can
// hold every character.
std::string unstorableCharacter(std::string_view utf8);

// The box as the operator knows it by its captions, e.g.
// "Previous Gun Licensee Last Name" for Text1(0), "Prefix in new gunbook".
std::string boxName(TextBox box, int index = 0);

// True when every licensee box (Text1 and Text2) and both folder boxes hold
// some text; a text of blanks counts as filled in.
bool licenseesAndFoldersFilled(FormView& view, errortrap::CallerTrap trap);

// The message refusing the first licensee box, or then the prefix box when
// withPrefix, whose text a book cannot hold; empty when the books can hold
// them all.
std::string unstorableTextMessage(FormView& view, bool withPrefix, errortrap::CallerTrap trap);

// The message refusing the first folder box whose book file path does not
// fit the record manager's key buffer; empty when both fit.
std::string overlongFolderMessage(FormView& view, errortrap::CallerTrap trap);

}  // namespace varnok::conversion
