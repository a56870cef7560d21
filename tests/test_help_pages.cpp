// Each help page against the program in its language: the key table's rows, every menu key in
// the table, every key and menu path named, every bold caption found on a window (a heading of
// the page's own is <strong>).
#include "archive/ArchiveWindow.h"
#include "settings/TEdytuj_dane.h"
#include "support/ProgramFixture.h"
#include "support/ScriptedFileDialogs.h"
#include "ui_TForm1.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QtTest>

using namespace orvel;

namespace {

QString clean(QString text) {  // as a page writes a caption: no mnemonic, no closing colon
  text = text.remove(QLatin1Char('&')).simplified();
  return text.endsWith(QLatin1Char(':')) ? text.chopped(1).trimmed() : text;
}

QAction* itemAt(QMenuBar* bar, const QStringList& path) {
  QList<QAction*> items = bar->actions();
  QAction* found = nullptr;
  for (const QString& step : path) {
    found = nullptr;
    for (QAction* a : items)
      if (clean(a->text()) == step) found = a;
    if (!found) return nullptr;
    items = found->menu() ? found->menu()->actions() : QList<QAction*>{};
  }
  return found;
}

void addCaptions(QSet<QString>& out) {
  for (QWidget* top : QApplication::topLevelWidgets()) {
    out << clean(top->windowTitle());
    for (auto* w : top->findChildren<QAbstractButton*>())
      out << clean(w->text());
    for (auto* w : top->findChildren<QLabel*>())
      out << clean(w->text());
    for (auto* w : top->findChildren<QGroupBox*>())
      out << clean(w->title());
    for (auto* view : top->findChildren<QAbstractItemView*>()) {
      const QAbstractItemModel* model = view->model();
      for (int c = 0; model && c < model->columnCount(); ++c)
        out << clean(model->headerData(c, Qt::Horizontal).toString());
    }
  }
}

}  // namespace

class HelpPagesTest : public QObject {
  Q_OBJECT
 private Q_SLOTS:
  void pageMatchesTheProgram_data() {
    QTest::addColumn<QString>("page");
    QTest::addColumn<int>("language");
    QTest::newRow("pomoc.html") << "pomoc.html" << int(Language::Polish);
    QTest::newRow("help-en.html") << "help-en.html" << int(Language::English);
    QTest::newRow("help-it.html") << "help-it.html" << int(Language::Italian);
  }
  void pageMatchesTheProgram() {
    QFETCH(QString, page);
    QFETCH(int, language);
    QFile file(QStringLiteral(ORVEL_SOURCE_DIR "/resources/") + page);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QString html = QString::fromUtf8(file.readAll());
    test::ScriptedFileDialogs files;  // the log viewer's open dialog is cancelled
    test::ProgramFixture f;
    f.start();
    if (Language(language) != Language::Polish) f.form().selectLanguage(Language(language));
    QMenuBar* bar = f.form().menuBar();
    QList<QAction*> items = bar->actions();
    for (int i = 0; i < items.size(); ++i)
      if (items[i]->menu()) items << items[i]->menu()->actions();
    // Captions as the windows come up and in the states the pages describe: the scope left
    // (its resume caption), the wizard open, the log viewer and the server dialog made, the
    // unsent-edits question.
    QSet<QString> captions;
    addCaptions(captions);
    f.form().ui().Tryboscyloskopu1->trigger();
    f.form().findChild<QAbstractButton*>(QStringLiteral("Koniec"))->click();
    f.form().ui().Autokalibracja1->trigger();
    f.form().ui().Przegladajzapis1->trigger();
    f.form().findChild<QAction*>(QStringLiteral("SerwerArchiwum1"))->trigger();
    addCaptions(captions);
    for (const QString& answer : unsentQuestionButtons() + writeBackConfirmCaptions())
      captions << answer;
    QSet<QString> keys{"Enter", "Invio", "Esc", "Shift", "Home", "+", "-"};  // windows' own
    for (QAction* a : items) {
      keys << a->shortcut().toString();
      captions << clean(a->text());
    }

    QStringList faults;
    const auto each = [&html](const char* pattern, int from, int to, auto check) {
      auto it = QRegularExpression(QString::fromUtf8(pattern)).globalMatch(html.mid(from, to));
      while (it.hasNext())
        check(it.next());
    };
    const int tableEnd = html.indexOf(QStringLiteral("</table>"));
    const QString arrow = QStringLiteral(" → ");
    QSet<QString> tableKeys;
    // A key's row names its item first; a row without one lists items of its menu.
    each("<tr><td>(?:<kbd>([^<]+)</kbd>)?</td><td>([^<]+)</td><td>(.*?)</td></tr>", 0, tableEnd,
         [&](const QRegularExpressionMatch& m) {
           const QString key = m.captured(1);
           QString cell = m.captured(3).remove(QRegularExpression(QStringLiteral("<[^>]*>")));
           tableKeys << key;
           for (const QString& item : key.isEmpty() ? cell.split(QStringLiteral(", "))
                                                    : QStringList{cell.section(" – ", 0, 0)}) {
             QAction* a = itemAt(bar, m.captured(2).split(arrow) << item);
             if (!a || (!key.isEmpty() && a->shortcut().toString() != key))
               faults << QStringLiteral("row ") + key + ' ' + item;
           }
         });
    for (QAction* a : items)
      if (!a->shortcut().isEmpty() && a->isVisible() &&
          !tableKeys.contains(a->shortcut().toString()))
        faults << QStringLiteral("table lacks ") + a->shortcut().toString();
    each("<kbd>([^<]+)</kbd>", 0, -1, [&](const QRegularExpressionMatch& m) {
      if (!keys.contains(m.captured(1))) faults << QStringLiteral("key ") + m.captured(1);
    });
    each("<b>([^<]+)</b>", tableEnd, -1, [&](const QRegularExpressionMatch& m) {
      const QString bold = m.captured(1);
      if (bold.contains(arrow) ? !itemAt(bar, bold.split(arrow)) : !captions.contains(clean(bold)))
        faults << QStringLiteral("bold ") + bold;
    });
    QVERIFY2(faults.isEmpty(), qPrintable(faults.join(QStringLiteral("; "))));
  }
};

QTEST_MAIN(HelpPagesTest)
#include "test_help_pages.moc"
