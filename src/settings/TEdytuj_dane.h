#pragma once

#include "link/Protocol.h"
#include "settings/SettingsDecoder.h"
#include "settings/SettingsSends.h"

#include <QHash>
#include <QImage>
#include <QStringList>
#include <QWidget>

#include <functional>
#include <memory>
#include <vector>

class QButtonGroup;
class QLineEdit;
class QToolButton;

namespace Ui {
class TEdytuj_dane;
}

namespace orvel {

struct ControllerState;

// The question on closing the editor with edits not sent: the fields named one a line, and the
// answers send, discard and go back, in the interface language.
QString unsentQuestionText(const QString& fields);
QString unsentQuestionTitle();
QStringList unsentQuestionButtons();

// The manual settings editor: "Ręczne wpisywanie ustawień", 605 x 427, on top, not modal,
// created once and reused. Its fields are the program's store of the current settings as text;
// each field or pair of fields has an OK that sends it at once (Enter in the field does the
// same), and its caption stays bold while the field's text differs from what the controller
// holds (last read out or sent). Closing the window with such edits asks what to do with them.
//
// The window only binds controls: what is shown comes from decodeSettingsBlock(), what is sent
// from the operations in SettingsSends.h.
class TEdytuj_dane : public QWidget {
  Q_OBJECT
 public:
  using CommandSink = std::function<void(const Command&)>;

  explicit TEdytuj_dane(QWidget* parent = nullptr);
  ~TEdytuj_dane() override;
  Ui::TEdytuj_dane& ui() { return *ui_; }

  // The shared state the window reads (the idle period reference) and changes (the installation
  // flags byte), and where its commands go. Set once, before the first read-out.
  void attach(ControllerState& state, CommandSink send);

  // Puts a settings read-out into the window, in the order of decoding. A radio group whose item
  // changes sends 0Bh exactly as a fitter's choice would; a send that fails ends the read-out
  // with its error. Check boxes set here send nothing.
  void showSettings(const DecodedSettings& settings);
  bool maxSpeedShowsOff() const;

  // Writes a field's text as the program does. The design's maximum length limits typing only:
  // a value the program writes is never cut (an erased controller reads back six-digit times),
  // and until it is shortened the field takes no more characters than it holds.
  void setFieldText(QLineEdit* field, const QString& text);

  // The selected item of a radio group, -1 while none is (as at start).
  int selectedItem(FlagRadio radio) const;
  // Selects an item; when that changes the selection it acts as the fitter's choice.
  void selectItem(FlagRadio radio, int item);

  // Whether an OK's caption carries the unsent mark (bold).
  static bool isUnsent(const QToolButton* ok);
  // The fields whose edits are not sent, by their labels, as the question on closing names them.
  QStringList unsentFields() const;
  const QImage& shapePictogram() const { return pictogram_; }

 Q_SIGNALS:
  // The window was closed ("&Zapisz" or the close box): the communication ends.
  void closedByUser();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  struct Send;
  struct Radio;

  void bindSends();
  void bindFlags();
  void runSend(Send& send);
  static QStringList ownTexts(const Send& send);
  // The fields of send as they are now are what the controller holds.
  void markHeld(Send& send);
  void refreshMark(const Send& send);
  // On closing with edits not sent: asks once whether to send them, drop them or stay; false to
  // stay.
  bool settleUnsent();
  void radioChosen(Radio& radio);
  void CheckBox1Click();
  void CheckBox2Click();
  void CheckBox3Click();

  void transmit(const Command& command);
  long long reference() const;
  Radio& radio(FlagRadio flag);
  const Radio& radio(FlagRadio flag) const;
  Send& sendOf(const QToolButton* ok);
  void setUnsent(QToolButton* ok, bool unsent);
  void setCutoffEnabled(bool enabled);
  void setMaxSpeedEnabled(bool enabled);
  void redrawPictogram(const LambdaShape& shape);
  void keepTypingLimit(QLineEdit* field);

  std::unique_ptr<Ui::TEdytuj_dane> ui_;
  ControllerState* state_ = nullptr;
  CommandSink send_;
  std::vector<Send> sends_;
  std::vector<Radio> radios_;
  QHash<const QLineEdit*, int> designLengths_;
  QImage pictogram_;
};

}  // namespace orvel
