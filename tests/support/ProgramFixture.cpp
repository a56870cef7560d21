#include "support/ProgramFixture.h"

#include "core/TextFile.h"

namespace orvel::test {

void ProgramFixture::writeConfig(const QStringList& lines) {
  writeTextLines(installDir.path() + QStringLiteral("/config.cfg"), lines);
}

void ProgramFixture::start() {
  Environment env;
  env.link = &link;
  env.timers = &timers;
  const QString dir = installPath.isEmpty() ? installDir.path() : installPath;
  env.installationDirectory = [dir] { return dir; };
  env.serialDevices = serialDevices;
  if (!archiveDir.isEmpty()) {
    const QString archive = archiveDir;
    env.archiveDirectory = [archive] { return archive; };
  }
  env.openUrl = [this](const QUrl& url) {
    if (!browser) return false;
    openedUrl = url;
    return true;
  };
  program = std::make_unique<Program>(std::move(env));
}

void ProgramFixture::answerReadOut(const QByteArray& block) {
  link.inject(block);
  timers.advance(LinkControl::kBlockRereadDelay);
  link.inject(block);
}

}  // namespace orvel::test
