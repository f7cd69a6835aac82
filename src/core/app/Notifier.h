#pragma once
// How the core reaches the person in front of the tool. The GUI shows real message boxes, the CLI
// prints, tests record. A core function never ends the process itself: it asks the front end.
#include <string>

namespace orva {

class Notifier {
public:
    virtual ~Notifier() = default;
    // A message box with an OK button only.
    virtual void messageBox(const std::string& text, const std::string& caption = {}) = 0;
    // A question with Yes and No; true for Yes.
    virtual bool askYesNo(const std::string& text, const std::string& caption = {}) = 0;
    // A question with OK and Cancel; true for OK.
    virtual bool askOkCancel(const std::string& text, const std::string& caption = {}) = 0;
    // Shows the text, then ends the process with the exit code. A test fake records instead.
    virtual void fatalExit(const std::string& text, int exitCode) = 0;
};

// The process-wide notifier. Until a front end installs one, a plain one writes to standard error,
// answers No/Cancel and exits on fatalExit.
Notifier& notifier();
// Installs the front end's notifier (nullptr restores the plain one). The notifier must outlive its use.
void setNotifier(Notifier* n);

} // namespace orva
