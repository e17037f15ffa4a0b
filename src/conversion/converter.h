// The conversion procedures of the window's module (Brelmark): the run
// started by "Begin", the book check, the two book passes and the late
// disposal transfer started by "Fix".
//
// Each procedure runs under its own error trap, reads the controls through
// the view at each use, and never lets an error reach its caller.
//
// What each leaves behind. A book's changes become durable only at its
// Close; every procedure that returns has closed (or released) every book
// it opened. "Ignore" below is an error report answered Ignore: the one
// statement that failed is skipped and the procedure goes on, so its book
// may miss that one change (ignoredReports() counts them). Abort ends the
// process at once: no book is closed, so the record manager keeps none of
// the open book's changes since its Open, and the earlier passes' Closes
// stand.
//
// runConversion ("Begin"): refused input shows its message, opens nothing
//   and sets outcome Refused or UnstorableText. Otherwise the book check,
//   then both passes; "Finished" is shown in every case that gets this far,
//   with the labels and bars hidden again. A book that will not open stops
//   the run before the passes (book check) or leaves that pass's book
//   untouched (a pass), with outcome BookNotOpened and the reason in
//   unopenedBooks(). When the books look converted on the date already
//   (convertedAlready()), and then when a prefix would cut a model
//   (cutModels()), the operator is asked before any book is written; No
//   ends the run with outcome DeclinedAgain or Declined, neither book
//   changed. On success: the old book closed
//   out and the new book rebased, outcome Completed.
// checkBooks: both books opened, counted into oldBookCount and newBookCount
//   and closed unchanged; the counts are shown. A book that will not open:
//   its "does not exist" message (followed, unless the book is simply
//   absent, by a message saying why), booksValid false, the new book not
//   tried after the old one failed.
// closeOutOldBook / rebaseNewBook: on success the book is changed as each
//   pass's file describes and closed. A book that will not open: the pass's
//   message, outcome BookNotOpened, nothing changed; the rebase also clears
//   booksValid. A conversion date that cannot be read: the book is released
//   unchanged, outcome BookNotOpened. A Close that is refused and let go
//   drops all of the pass's changes.
// transferLateDisposals ("Fix"): refused input as for the run. A book that
//   will not open: its message, outcome BookNotOpened, neither book changed.
//   On success every entry disposed of after the date is handed over in the
//   old book and copied into the new one, the new book closed first; when
//   its Close is refused and let go, the old book's changes are dropped too,
//   and when only the old book's Close fails, running "Fix" again finishes
//   the transfer (copies already in the new book are recognised).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "conversion/form_view.h"
#include "gunbook/book_cursor.h"
#include "recordmanager/record_manager.h"

namespace varnok::conversion {

// Message texts shown by the conversion.
namespace msg {
inline constexpr const char* FillAllBoxes = "You must enter information in all the boxes";
inline constexpr const char* Finished = "Finished";
inline constexpr const char* OldBookMissing = "Old Gun Book file does not exist";
inline constexpr const char* NewBookMissing = "New Gun Book file does not exist";
inline constexpr const char* OldCountLead = "Number of old guns = ";
inline constexpr const char* NewCountLead = " Number of new guns ";
inline constexpr const char* ErrorOpeningOldFile = "Error opening old gun file";    // close-out
inline constexpr const char* ErrorOpeningOldBook = "Error opening old gun book";    // transfer
inline constexpr const char* ErrorOpeningNewBook = "Error opening new gun book";
inline constexpr const char* ValidDate = "You must enter a valid date";
inline constexpr const char* NewBookNotSaved =
    "The new gun book could not be saved. Nothing was changed in either book.";
inline constexpr const char* OldBookNotSaved =
    "The old gun book could not be saved and was left as it was. The new gun book was saved "
    "with the copied guns: run Fix again to finish the transfer.";
inline constexpr const char* IgnoredReportsTail =
    " error report(s) were answered Ignore: check both books before using them.";
inline constexpr const char* SameBook =
    "The old and the new gun book folder name the same book file. "
    "Choose the folder of each book.";
}  // namespace msg

class Converter {
 public:
  Converter(FormView& view, rm::RecordManager& recordManager);

  // Each keeps its old name as the location of its error reports.
  void runConversion();          // BeginConversion_Click, "Begin"
  void checkBooks();             // CheckValidFiles
  void closeOutOldBook();        // ConvertOld
  void rebaseNewBook();          // ConvNew
  void transferLateDisposals();  // Command1_Click, "Fix"

  // The input checks that runConversion and transferLateDisposals make
  // first: on refused input, its message is shown, the outcome set and true
  // returned; no book is opened. A front end calls one before it makes the
  // run's report, so that a refused input leaves none.
  bool refuseConversionInput();
  bool refuseTransferInput();

  // A preview writes no book: the models the prefix would cut are told in a
  // message, not asked about.
  bool previewOnly = false;

  // What a layer in front of the record manager has noted of why a book
  // would not open beyond its status (a run report's problems, such as why
  // its backup could not be written): every line so far. The lines not yet
  // told are shown with the reason a book would not open;
  // refusalDetailsTold() says how many have been.
  std::function<std::vector<std::string>()> refusalDetails;

  // The report folder of an earlier conversion that left both books exactly
  // as they are now, or empty: asked after the book check, while both books
  // are held, by a front end that keeps a history of runs.
  std::function<std::string()> earlierConversion;
  std::size_t refusalDetailsTold() const { return refusalDetailsTold_; }

  // Run state, kept between runs.
  bool booksValid = false;   // BooksValid
  int32_t oldBookCount = 0;  // OldGunCount
  int32_t newBookCount = 0;  // NewGunCount

  // The shared book cursor and the status of the last record manager call.
  gunbook::BookCursor bookCursor;  // Gun
  int16_t lastStatus = 0;          // BtrStatus

  // What the last run or transfer came to, for the command line's exit
  // status. Refused: the input was refused, nothing opened. UnstorableText: a
  // licensee or prefix box holds text a book cannot store, nothing opened.
  // BookNotOpened: a book could not be opened (its message was shown).
  // Declined: the operator answered No to cutting models, no book written.
  // DeclinedAgain: the books look converted on the date already and the
  // operator answered No to converting them again, no book written.
  // Completed: the run reached "Finished" with both books checked and both
  // passes done, or the transfer ran to its end.
  enum class Outcome {
    NotRun, Refused, UnstorableText, BookNotOpened, Declined, DeclinedAgain, Completed
  };
  Outcome outcome() const { return outcome_; }

  // Why each book that would not open did not, one line each, e.g.
  // "old book /shop/old/FILE3.DAT: cannot open: file not found (status 12)".
  // The window's own message says only that the book does not exist.
  const std::vector<std::string>& unopenedBooks() const { return unopenedBooks_; }

  // The stock numbers (without trailing blanks) of the entries the rebase
  // carries over whose model (Field06, 15 characters) would lose characters
  // other than blanks to the prefix, in stock-number order; found after the
  // book check, before any book is written.
  const std::vector<std::string>& cutModels() const { return cutModels_; }

  // Why the books look converted on the date already, found after the book
  // check: "they are exactly as the conversion of <report folder> left
  // them", or "the books already read as converted (...)"; empty when they
  // do not.
  const std::string& convertedAlready() const { return convertedBy_; }

  // How many error reports were answered Ignore, each leaving something
  // undone, and the warning to give for them: empty when there were none,
  // else "<n> error report(s) were answered Ignore: check both books ...".
  int ignoredReports() const { return reporter_.ignored; }
  std::string ignoredReportsWarning() const;

  // The run and the transfer start both afresh; the passes and the book
  // check add to them.

 private:
  // Shows the message and sets the outcome, unless the message is empty.
  // True when it was shown.
  bool refuseWith(const std::string& message, Outcome outcome, errortrap::CallerTrap trap);
  // The refusals that the run and the transfer share, after their own input
  // checks and before any book is opened: text a book cannot store (in the
  // licensee boxes, and the prefix box when withPrefix), a folder too long
  // for the record manager, one book given as both. True when refused.
  bool refuseUnusableInput(bool withPrefix, errortrap::CallerTrap trap);
  bool refuseConversionInput(errortrap::Trap& trap);
  // Shows why the book last tried would not open, with the refusal details
  // not told yet; nothing for a book that is simply absent, which the
  // message before has said.
  void tellWhyNotOpened(errortrap::CallerTrap trap);
  // Reads the new book for the models the prefix would cut and, when there
  // are any, asks (or in a preview tells) the operator. False when the run
  // must stop before its passes: No, or the new book would not open.
  bool modelsMayBeCut(errortrap::Trap& trap);
  // Finds whether the books look converted on the date already and, when
  // they do, asks (or in a preview tells) the operator. False when the run
  // must stop before its passes: No, or a book would not open.
  bool mayConvertAgain(errortrap::Trap& trap);
  // No gun on hand in the old book among the entries received on or before
  // the date. Reads the old book and leaves it as it was.
  bool oldBookReadsClosedOut(const std::string& bookDate, errortrap::Trap& trap);
  // The entries' own sign of a conversion on the date (see
  // convertedAlready()), empty when they bear none.
  std::string entriesReadAsConverted(const std::string& bookDate, errortrap::Trap& trap);
  // The transfer's steps: its input checks, the copy of the current old book
  // entry into the new book, and the closing of both books.
  bool transferInputAccepted(std::string& bookDate, errortrap::Trap& trap);
  void transferEntry(gunbook::BookCursor& newBookCursor, const std::string& bookDate,
                     errortrap::Trap& trap);
  void closeTransferredBooks(gunbook::BookCursor& newBookCursor, errortrap::Trap& trap);

  // The passes' steps.
  void removeReceivedAfter(const std::string& bookDate, errortrap::Trap& trap);
  void handOverOnHand(const std::string& bookDate, errortrap::Trap& trap);
  void removeLeftBefore(const std::string& bookDate, errortrap::Trap& trap);
  void rewriteAsReceived(const std::string& bookDate, errortrap::Trap& trap);
  void rebaseEntry(gunbook::GunRecord& entry, const std::string& bookDate, errortrap::Trap& trap);
  // Opens a pass's book on the shared cursor, showing `refusal` and
  // marking the outcome when it will not open. True when it is open.
  bool openPassBook(TextBox folderBox, const char* refusal, errortrap::CallerTrap trap);
  // Makes one write of the entry on `cursor` (Update, Insert or Close) and
  // reports it as a run-time error when the record manager refuses it.
  void writeOrReport(gunbook::BookCursor& cursor, uint16_t operation, errortrap::CallerTrap trap);

  // Opens the book in the folder box on the shared cursor: a fresh position
  // block, the folder normalised and written back, key number 0. True when
  // the book is open.
  bool openBookIn(TextBox folderBox, errortrap::CallerTrap trap);
  // The conversion date in book date form for a pass whose book is open.
  // Empty when the date could not be read (an error the operator let go):
  // the book is then closed untouched and the run told that this pass did
  // not reach it, since every entry would compare as later than no date.
  std::string passDateOrLeaveBook(errortrap::CallerTrap trap);
  // Closes the book on `cursor`, which makes its changes durable. A Close
  // the record manager refuses is reported; when the operator lets it go,
  // the book is released with every change since its Open dropped, so that
  // it is not left held by this process. True when the changes are durable.
  bool closeOrDrop(gunbook::BookCursor& cursor, errortrap::CallerTrap trap);

  // Opens the book in `folder`, the text of `folderBox`, on `cursor`: a
  // fresh position block, key number 0. True when the book is open; else
  // why it is not is remembered.
  bool openBookOn(gunbook::BookCursor& cursor, TextBox folderBox, const std::string& folder,
                  errortrap::CallerTrap trap);
  // The outcome, the reasons and the count of a fresh run or transfer.
  void startAfresh();

  // Shows every report of this converter's traps on the view and counts
  // those answered Ignore.
  struct CountingReporter final : errortrap::ErrorReporter {
    explicit CountingReporter(FormView& view) : view(view) {}
    errortrap::Answer errorReport(const std::string& message) override;
    FormView& view;
    int ignored = 0;
  };

  FormView& view_;
  rm::RecordManager& recordManager_;
  CountingReporter reporter_{view_};
  Outcome outcome_ = Outcome::NotRun;
  std::vector<std::string> unopenedBooks_;
  std::vector<std::string> cutModels_;
  std::string convertedBy_;
  std::size_t refusalDetailsTold_ = 0;
};

}  // namespace varnok::conversion
