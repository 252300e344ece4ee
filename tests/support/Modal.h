// Answers modal dialogs the way a user would: finds the active modal window, reads its
// text and presses one of its buttons (or Escape), and remembers what it saw.
#pragma once

#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace kolvane::test {

struct SeenDialog {
  std::string title;
  std::string text;                  // the dialog's visible labels, one per line
  std::vector<std::string> buttons;  // captions of the visible push buttons, left to right
  std::string defaultButton;         // caption of the default button, if any
  int height = 0;                    // height of the content area
};

// What to do with one dialog.
using Answer = std::function<void(QWidget* dialog)>;

Answer PressDefault();                       // Return: the default button
Answer Press(const std::string& caption);    // a click on the button with this caption
Answer PressEscape();                        // the Escape key
Answer ChoosePath(const std::string& path);  // types a path into a file dialog and accepts it
Answer CancelDialog();                       // cancels a file dialog
Answer Run(std::function<void(QWidget*)> action);

class ModalAnswerer {
 public:
  // Dialogs are answered from the queue in order; once it is empty, by pressing the
  // default button.
  explicit ModalAnswerer(std::deque<Answer> answers = {});
  ~ModalAnswerer();

  const std::vector<SeenDialog>& Seen() const { return seen_; }
  std::vector<std::string> Texts() const;

 private:
  void Poll();
  std::deque<Answer> answers_;
  std::vector<SeenDialog> seen_;
  QTimer timer_;
};

SeenDialog Describe(QWidget* dialog);

// Lets events run for the given time.
void Pump(int milliseconds);
// Lets events run until the condition holds or the time is up; returns the condition.
bool PumpUntil(const std::function<bool()>& condition, int milliseconds = 5000);

}  // namespace kolvane::test
