// Message boxes. The text always goes to standard error as "caption: text";
// a display layer may install a presenter that also shows a box (the display
// module does so when a display exists). Tests install a presenter to see
// what a program would have shown and to answer questions.
#pragma once

#include <functional>

namespace platform {

enum MessageKind { kMessageInfo = 0, kMessageError = 1, kMessageQuestion = 2, kMessageWarning = 3 };

// Shows a box with an OK button.
void ShowMessage(const char* text, const char* caption, MessageKind kind);

// A Yes/No question. Without a presenter: asked on the terminal when standard
// input is one, otherwise the default answer is taken. True means Yes.
bool AskYesNo(const char* text, const char* caption, bool default_no);

// The presenter gets the text, the caption and the kind; for questions its
// result is the answer (true = Yes), for other boxes it is ignored.
using MessagePresenter =
    std::function<bool(const char* text, const char* caption, MessageKind kind, bool default_no)>;
// Installs a presenter (an empty one removes it); returns the previous one.
MessagePresenter SetMessagePresenter(MessagePresenter presenter);
// Whether a presenter is installed.
bool HasMessagePresenter();

}  // namespace platform
