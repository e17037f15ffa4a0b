// Steps that the book check and the book passes have in common: reading the
// window's texts as book text, normalising a folder box, the conversion date,
// the hand-over to the new licensee and the progress bars.
//
// Each helper runs its failing statements through the trap of the procedure
// that calls it, so errors are reported under that procedure's name.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "conversion/form_view.h"
#include "errortrap/trap.h"
#include "gunbook/gun_record.h"

namespace varnok::conversion {

// A box's text as the book stores it (Windows-1252, "?" for what it cannot
// hold). Not trapped: call it inside a trapped statement.
std::string bookText(FormView& view, TextBox box, int index = 0);

// The folder box loses its trailing blanks and is written back; then, when
// it ends in no separator, one is appended and it is written back again.
// Returns the folder as it now stands in the box.
std::string trimFolderBox(FormView& view, TextBox box, errortrap::CallerTrap trap);
std::string finishFolderBox(FormView& view, TextBox box, errortrap::CallerTrap trap);
std::string normaliseFolderBox(FormView& view, TextBox box, errortrap::CallerTrap trap);

// The conversion date in book date form (YYYYMMDD), from the date box.
std::string conversionDate(FormView& view, errortrap::CallerTrap trap);

// True for a date in book date form: eight digits. A conversion date that
// could not be read (an error the operator let go) is none; a pass must then
// leave its book alone, since every entry would compare as later than it.
bool isBookDate(std::string_view date);

// The disposed-to side of a hand-over on `bookDate` to the new licensee
// (Text2), in this order: DispAddress, DispCity, DateOut, DispFirstName,
// DispLastName, DispState, DispZip, Status "SOLD". DispFlag is left to the
// caller: the close-out sets it, the late disposal transfer does not.
void disposeToNewLicensee(gunbook::GunRecord& entry, FormView& view, const std::string& bookDate,
                          errortrap::CallerTrap trap);

// The received-from side of a hand-over from the previous licensee
// (Text1), in this order: RecvAddress, RecvCity, RecvFirstName,
// RecvLastName, RecvState, RecvZip. DateIn is left to the caller.
void receiveFromPreviousLicensee(gunbook::GunRecord& entry, FormView& view, errortrap::CallerTrap trap);

// The prefix box's text in book form, upper case, without leading or
// trailing blanks: what the rebase puts in front of Field06. Not trapped.
std::string newBookPrefix(FormView& view);

// True for an entry the rebase's removal pass deletes: received on or
// before the date, neither pawned nor for sale, and gone before the date.
// Every other entry received on or before the date is carried over.
bool leftBeforeDate(const gunbook::GunRecord& entry, const std::string& bookDate);

// True when putting `prefix` in front of `model` and cutting the result at
// the field's width pushes out a character of the model that is not a blank.
bool prefixCutsModel(const std::string& prefix, const gunbook::FixedText<15>& model);

// Shows visited / total as a percentage on `bar` while visited <= total;
// past that (or with no total) the bar keeps its value.
void showProgress(FormView& view, Bar bar, int32_t visited, int32_t total, errortrap::CallerTrap trap);

}  // namespace varnok::conversion
