// vantori: the client program. One copy per user runs at a time; it is normally started by
// the login launcher, or with its own login dialog, or directly with the command-line key.
//
//   vantori [--host H] [--base-port N] [--screenshot FILE [--screenshot-delay MS]] [ARGS...]
//
// ARGS are the direct start's: the key, the password and the login server address.

#include <QApplication>
#include <QMessageBox>
#include <QStringList>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "mainwindow/TfmMCMain.h"
#include "mainwindow/UStartup.h"
#include "platform/UFileLock.h"
#include "ui/USkin.h"

int main(int argc, char** argv) {
  // The web engine refuses to run as root inside its sandbox.
  if (::geteuid() == 0 && std::getenv("QTWEBENGINE_CHROMIUM_FLAGS") == nullptr)
    ::setenv("QTWEBENGINE_CHROMIUM_FLAGS", "--no-sandbox", 1);
  QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
  QApplication app(argc, argv);
  app.setApplicationName(QStringLiteral("Vantori "));
  app.setQuitOnLastWindowClosed(false);
  vantori::InitUiKit();

  vantori::TMainOptions options;
  const QStringList all = app.arguments().mid(1);
  for (int i = 0; i < all.size(); ++i) {
    const QString& a = all[i];
    if (a == QLatin1String("--screenshot") && i + 1 < all.size()) {
      options.ScreenshotFile = all[++i];
    } else if (a == QLatin1String("--screenshot-delay") && i + 1 < all.size()) {
      options.ScreenshotDelayMs = all[++i].toInt();
    } else if (a == QLatin1String("--base-port") && i + 1 < all.size()) {
      ::setenv("VANTORI_BASE_PORT", all[++i].toLocal8Bit().constData(), 1);
    } else if (a == QLatin1String("--host") && i + 1 < all.size()) {
      ::setenv("VANTORI_HOST", all[++i].toLocal8Bit().constData(), 1);
    } else {
      options.Arguments << a;
    }
  }
  if (options.ScreenshotFile.isEmpty())
    if (const char* env = std::getenv("VANTORI_SCREENSHOT"))
      options.ScreenshotFile = QString::fromLocal8Bit(env);

  std::unique_ptr<vantori::TFileLock> instance = vantori::AcquireSingleInstance();
  if (!instance) {
    QMessageBox::information(nullptr, QStringLiteral("Vantori"), vantori::AlreadyRunningText());
    return 0;
  }

  options.QuitOnClose = true;
  auto window = std::make_unique<vantori::TfmMCMain>(options);
  if (window->Terminated()) return 1;
  int code = 0;
  QObject::connect(window.get(), &vantori::TfmMCMain::TerminateRequested, &app, [&code] {
    code = 1;
    QCoreApplication::exit(1);
  });
  window->show();
  const int rc = app.exec();
  window.reset();
  return rc != 0 ? rc : code;
}
