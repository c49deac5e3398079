// Every failure of the system is reported the same way: a printf-style
// template is formatted into MessageText and ShowMessage shows it, in a
// message box captioned "Vodudad Avar" on Windows, on standard error on POSIX.
// Templates are byte-exact, the trailing newline is part of the shown text.
//
// The layout reader's consistency complaints are plain console lines on
// standard output; they go through consoleLine so tests can capture them.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#if defined(__GNUC__)
#define ZUMT_PRINTF(f, a) __attribute__((format(printf, f, a)))
#else
#define ZUMT_PRINTF(f, a)
#endif

// The one shared message text of a program.
extern std::string MessageText;

// Shows MessageText and returns when the user has acknowledged it.
void ShowMessage();

// Formats the template into MessageText and shows it. Returns 0, so a failure
// site reads "return report(TEMPLATE, args);".
int report(const char* format, ...) ZUMT_PRINTF(1, 2);

// A warning: something the user should know that does not stop the run
// (a large share of invented terrain, a picture that covers little). It
// goes to standard error as "Warnung: <text>" on every system, also when
// the program is quiet, and never into a message box that would wait for a
// click. Returns the text (without the prefix) for a summary.
std::string warning(const char* format, ...) ZUMT_PRINTF(1, 2);

// Prints a console line (standard output) of the layout reader.
void consoleLine(const char* format, ...) ZUMT_PRINTF(1, 2);

// While one lives, messages and console lines are dropped: for a look at a file whose faults are
// not the user's concern at that moment, such as an old layout about to be backed up.
class QuietMessages {
  public:
    QuietMessages();
    ~QuietMessages();
    QuietMessages(const QuietMessages&) = delete;
    QuietMessages& operator=(const QuietMessages&) = delete;
};

// While one lives on a thread, the messages reported on that thread are kept
// in it instead of shown: a worker that reads one input beside others keeps
// its message until the caller knows whether it is the first failure in the
// order of the inputs. Warnings and console lines are not held.
class HeldMessages {
  public:
    HeldMessages();
    ~HeldMessages();
    HeldMessages(const HeldMessages&) = delete;
    HeldMessages& operator=(const HeldMessages&) = delete;
    std::vector<std::string> texts; // in the order reported
};

// Shows a message text held before, as report shows one.
void showMessageText(const std::string& text);

// printf into a std::string of any length.
std::string formatText(const char* format, ...) ZUMT_PRINTF(1, 2);

// Test seams: while a sink is set, messages and console lines go to it instead
// of the screen. Passing an empty function restores the default.
using TextSink = std::function<void(const std::string&)>;
void setMessageSink(TextSink sink);
void setConsoleSink(TextSink sink);
void setWarningSink(TextSink sink);
