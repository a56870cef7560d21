#include "app/Program.h"
#include "core/Dialogs.h"
#include "core/Handlers.h"
#include "records/RecordsCommands.h"
#include "records/TForm2.h"
#include "records/TForm3.h"
#include "settings/TEdytuj_dane.h"
#include "ui_TForm1.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QShortcut>

namespace orvel {

namespace {

// What the editor shows now, for the listing: captions of labels and radio groups, texts of
// fields, the radio groups' selections.
EditorSnapshot snapshotOf(TEdytuj_dane& editor) {
  EditorSnapshot snapshot;
  for (const QString& name : listingControls()) {
    QWidget* control = editor.findChild<QWidget*>(name);
    if (auto* label = qobject_cast<QLabel*>(control)) {
      snapshot.texts.insert(name, label->text());
    } else if (auto* field = qobject_cast<QLineEdit*>(control)) {
      snapshot.texts.insert(name, field->text());
    } else if (auto* group = qobject_cast<QGroupBox*>(control)) {
      snapshot.texts.insert(name, group->title());
    } else {
      throw AppError(QStringLiteral("The settings editor has no control %1").arg(name));
    }
  }
  for (FlagRadio radio : kFlagRadios)
    snapshot.selected[radio] = editor.selectedItem(radio);
  return snapshot;
}

}  // namespace

void Program::wireRecords() {
  TForm1* main = form1_.get();
  TForm3* userWindow = form3_.get();
  TForm2* viewer = form2_.get();

  QObject::connect(userWindow, &TForm3::hidden, main, [main] { main->setEnabled(true); });
  onEvent(main->ui().puste31, &QAction::triggered, main, [main, userWindow] {
    main->setEnabled(false);
    userWindow->showUserData();
  });

  const auto status = [main](std::function<QString()> make) {
    main->setStatusTextFrom(std::move(make));
  };
  viewer->setStatusText(status);

  RecordsCommands::Context context;
  context.installationDirectory = main->installationDirectory();
  context.userData = &userWindow->userData();
  context.viewer = viewer;
  context.editor = [this] { return snapshotOf(*editor_); };
  context.setStatusText = status;
  context.dialogParent = main;
  TEdytuj_dane* editor = editor_.get();
  context.unsentEdits = [editor] {
    return editor->isVisible() ? editor->unsentFields() : QStringList();
  };
  records_ = std::make_unique<RecordsCommands>(std::move(context));
  RecordsCommands* records = records_.get();
  // Ctrl+S in the settings editor saves its settings as the menu item does, the file dialog over
  // the editor; nothing is sent and the window stays open.
  auto* saveInEditor = new QShortcut(main->ui().Zapiszdopliku1->shortcut(), editor);
  saveInEditor->setObjectName(QStringLiteral("EditorSaveShortcut"));
  onEvent(saveInEditor, &QShortcut::activated, editor,
          [records] { records->Zapiszdopliku1Click(); });
  userWindow->setUserDataFile(records->userDataFile());
  onEvent(main->ui().Drukowanieparametrw1, &QAction::triggered, main,
          [records] { records->Drukowanieparametrw1Click(); });
  onEvent(main->ui().Zapiszdopliku1, &QAction::triggered, main,
          [records] { records->Zapiszdopliku1Click(); });
  onEvent(main->ui().Odczytajzpliku1, &QAction::triggered, main,
          [records] { records->Odczytajzpliku1Click(); });
}

}  // namespace orvel
