// Message boxes: an SDL message box while a window exists, and always a copy on stderr. Headless runs
// show nothing and answer Yes/No questions from a default.
#pragma once

namespace host {

enum class DialogKind { Error, Notice, YesNo };

// Results, valued as the Windows ones the game compares against.
constexpr int kDialogOk = 1;
constexpr int kDialogYes = 6;
constexpr int kDialogNo = 7;

int ShowMessageBox(const char* text, const char* caption, DialogKind kind);

// Headless: no box is shown; Yes/No questions answer yes when answerYes, else no.
void SetDialogsHeadless(bool headless, bool answerYes = true);
// Tests silence the stderr copy.
void SetDialogsQuiet(bool quiet);

// The last box shown (its caption and text), for tests.
const char* LastDialogCaption();
const char* LastDialogText();

}  // namespace host
