// The three help pages against the program they describe, each in its interface language:
// every key and menu path a page names, its key table complete, and every caption it sets in
// bold found on a window of the program.
#include "core/Language.h"
#include "settings/TEdytuj_dane.h"
#include "support/ProgramFixture.h"
#include "support/ScriptedFileDialogs.h"
#include "ui_TForm1.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QRegularExpression>
#include <QSet>
#include <QTest>

using namespace orvel;
using orvel::test::ProgramFixture;
using orvel::test::ScriptedFileDialogs;

Q_DECLARE_METATYPE(orvel::Language)

namespace {

const QString kArrow = QStringLiteral(" → ");

// A caption as a page writes it: no mnemonic, no closing colon.
QString clean(QString text) {
  text.remove(QLatin1Char('&'));
  text = text.simplified();
  if (text.endsWith(QLatin1Char(':'))) text.chop(1);
  return text.trimmed();
}

QString withoutTags(QString html) {
  static const QRegularExpression tag(QStringLiteral("<[^>]*>"));
  return html.remove(tag).replace(QStringLiteral("&nbsp;"), QStringLiteral(" ")).trimmed();
}

QStringList captured(const QString& html, const QString& pattern) {
  QStringList out;
  QRegularExpressionMatchIterator it = QRegularExpression(pattern).globalMatch(html);
  while (it.hasNext())
    out << it.next().captured(1);
  return out;
}

// The item a path of menu titles and an item's text leads to, from the menu bar.
QAction* itemAt(QMenuBar* bar, const QStringList& path) {
  QList<QAction*> items = bar->actions();
  QAction* found = nullptr;
  for (const QString& step : path) {
    found = nullptr;
    for (QAction* a : items) {
      if (clean(a->text()) == step) found = a;
    }
    if (!found) return nullptr;
    items = found->menu() ? found->menu()->actions() : QList<QAction*>{};
  }
  return found;
}

void allItems(const QList<QAction*>& items, QList<QAction*>& out) {
  for (QAction* a : items) {
    out << a;
    if (a->menu()) allItems(a->menu()->actions(), out);
  }
}

QString keyOf(const QAction* a) {
  return a->shortcut().toString(QKeySequence::PortableText);
}

// Every caption a window of the program shows now.
void addCaptions(QSet<QString>& out) {
  for (QWidget* top : QApplication::topLevelWidgets()) {
    out << clean(top->windowTitle());
    for (auto* b : top->findChildren<QAbstractButton*>())
      out << clean(b->text());
    for (auto* l : top->findChildren<QLabel*>())
      out << clean(l->text());
    for (auto* g : top->findChildren<QGroupBox*>())
      out << clean(g->title());
    for (auto* a : top->findChildren<QAction*>())
      out << clean(a->text());
  }
}

}  // namespace

class HelpPagesTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void pageMatchesTheProgram_data() {
    QTest::addColumn<QString>("page");
    QTest::addColumn<Language>("language");
    QTest::newRow("pomoc.html") << "pomoc.html" << Language::Polish;
    QTest::newRow("help-en.html") << "help-en.html" << Language::English;
    QTest::newRow("help-it.html") << "help-it.html" << Language::Italian;
  }

  void pageMatchesTheProgram() {
    QFETCH(QString, page);
    QFETCH(Language, language);
    QFile file(QStringLiteral(ORVEL_SOURCE_DIR "/resources/") + page);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QString html = QString::fromUtf8(file.readAll());

    ScriptedFileDialogs files;  // every file dialog cancelled
    ProgramFixture f;
    f.start();
    // Polish is what the program starts in; the others as the menu sets them.
    if (language != Language::Polish) f.form().selectLanguage(language);
    QMenuBar* bar = f.form().menuBar();
    QList<QAction*> items;
    allItems(bar->actions(), items);

    // The captions of the windows as they come up, and of the states the help describes: the
    // scope left (the resume caption), the wizard open, the log viewer made.
    QSet<QString> captions;
    addCaptions(captions);
    Ui::TForm1& ui = f.form().ui();
    ui.Tryboscyloskopu1->trigger();
    f.form().findChild<QAbstractButton*>(QStringLiteral("Koniec"))->click();
    ui.Autokalibracja1->trigger();
    ui.Przegladajzapis1->trigger();
    addCaptions(captions);
    for (const QString& answer : unsentQuestionButtons())
      captions << answer;

    QStringList faults;
    // The key table: a key's row names the menu and the item it belongs to.
    const int table = html.indexOf(QStringLiteral("<table>"));
    const int tableEnd = html.indexOf(QStringLiteral("</table>"), table);
    QVERIFY(table > 0 && tableEnd > table);
    const QString keyTable = html.mid(table, tableEnd - table);
    static const QRegularExpression row(
        QStringLiteral("<tr><td>(?:<kbd>([^<]+)</kbd>)?</td><td>([^<]+)</td><td>(.*?)</td></tr>"));
    QSet<QString> keysInTable;
    for (QRegularExpressionMatchIterator it = row.globalMatch(keyTable); it.hasNext();) {
      const QRegularExpressionMatch m = it.next();
      const QString key = m.captured(1);
      const QStringList menu = m.captured(2).split(kArrow);
      const QString command = withoutTags(m.captured(3));
      if (!key.isEmpty()) {
        keysInTable << key;
        const QString item = command.section(QStringLiteral(" – "), 0, 0);
        QAction* a = itemAt(bar, menu + QStringList{item});
        if (!a) {
          faults << QStringLiteral("%1: no item \"%2\" in %3").arg(key, item, menu.join(kArrow));
        } else if (keyOf(a) != key) {
          faults << QStringLiteral("%1: \"%2\" has the key %3").arg(key, item, keyOf(a));
        }
      } else {
        for (const QString& item : command.split(QStringLiteral(", "))) {
          if (!itemAt(bar, menu + QStringList{item}))
            faults << QStringLiteral("no item \"%1\" in %2").arg(item, menu.join(kArrow));
        }
      }
    }
    // Every key of the menus is in the table.
    for (QAction* a : items) {
      if (!keyOf(a).isEmpty() && a->isVisible() && !keysInTable.contains(keyOf(a)))
        faults << QStringLiteral("the table lacks %1 (%2)").arg(keyOf(a), clean(a->text()));
    }

    // Keys named anywhere: a menu item's, or one a window takes itself.
    QSet<QString> keys{QStringLiteral("Enter"), QStringLiteral("Invio"), QStringLiteral("Esc"),
                       QStringLiteral("Shift"), QStringLiteral("Home"),  QStringLiteral("+"),
                       QStringLiteral("-")};
    for (QAction* a : items)
      keys << keyOf(a);
    for (const QString& key : captured(html, QStringLiteral("<kbd>([^<]+)</kbd>"))) {
      if (!keys.contains(key)) faults << QStringLiteral("no key %1").arg(key);
    }

    // In the text after the table, bold names a menu path or a caption the fitter can find.
    const QString body = html.mid(tableEnd);
    for (const QString& bold : captured(body, QStringLiteral("<b>([^<]+)</b>"))) {
      if (bold.contains(kArrow)) {
        if (!itemAt(bar, bold.split(kArrow))) faults << QStringLiteral("no menu path ") + bold;
      } else if (!captions.contains(clean(bold))) {
        faults << QStringLiteral("no caption \"%1\"").arg(bold);
      }
    }
    QVERIFY2(faults.isEmpty(), qPrintable(faults.join(QStringLiteral("; "))));
  }
};

QTEST_MAIN(HelpPagesTest)
#include "test_help_pages.moc"
