// brevanta [--workdir DIR] [--desktop] [--lang en|zh] [--preview] [--layout N] [--status FILE]
#include <QApplication>
#include <QCommandLineParser>
#include <QLocale>
#include <QSocketNotifier>

#include <cstdio>

#include "controls/skin.h"
#include "model/desk.h"
#include "platform/signals.h"
#include "tavimor_app.h"
#include "ui/i18n.h"

int main(int argc, char** argv) {
  // Before Qt starts its threads, so that none of them takes the signals.
  platform::block_termination_signals();
  QApplication qapp(argc, argv);
  QApplication::setApplicationName(QStringLiteral("brevanta"));
  QApplication::setApplicationVersion(QStringLiteral("1.0"));
  skin::apply_application_style();

  QCommandLineParser parser;
  parser.setApplicationDescription(
      QStringLiteral("Brevanta, the surveillance client for mobile video recorders."));
  parser.addHelpOption();
  QCommandLineOption workdir(QStringLiteral("workdir"),
                             QStringLiteral("Working folder holding the configuration files "
                                            "(default: the current directory)."),
                             QStringLiteral("DIR"));
  QCommandLineOption desktop(QStringLiteral("desktop"),
                             QStringLiteral("Started from the desktop's menu: the working folder "
                                            "is $XDG_DATA_HOME/brevanta (default "
                                            "~/.local/share/brevanta), made when missing."));
  QCommandLineOption lang(QStringLiteral("lang"),
                          QStringLiteral("Interface language, en or zh (default: from the locale; "
                                         "Chinese for zh_* and C, English otherwise)."),
                          QStringLiteral("LANG"));
  QCommandLineOption preview(QStringLiteral("preview"),
                             QStringLiteral("Start the preview of the play list once the main "
                                            "window is up (for unattended video walls)."));
  QCommandLineOption status(QStringLiteral("status"),
                            QStringLiteral("Rewrite FILE every 500 ms with what each pane plays "
                                           "(for scripts watching the client)."),
                            QStringLiteral("FILE"));
  QCommandLineOption layout(QStringLiteral("layout"),
                            QStringLiteral("Panes per page once the main window is up: 1, 4, 9 "
                                           "or 16."),
                            QStringLiteral("N"));
  parser.addOption(workdir);
  parser.addOption(desktop);
  parser.addOption(lang);
  parser.addOption(preview);
  parser.addOption(layout);
  parser.addOption(status);
  parser.process(qapp);

  const QString language = ui::choose_language(parser.value(lang), QLocale::system().name());
  if (language.isEmpty()) {
    std::fprintf(stderr, "brevanta: --lang takes en or zh\n");
    return 2;
  }
  if (!ui::install_language(language, skin::folder()))
    std::fprintf(stderr, "brevanta: no %s translation in %s; the interface stays Chinese\n",
                 language.toUtf8().constData(), skin::folder().toUtf8().constData());

  AppOptions options;
  if (parser.isSet(workdir)) options.working_folder = parser.value(workdir).toStdString();
  options.desktop = parser.isSet(desktop);
  options.preview = parser.isSet(preview);
  if (parser.isSet(layout)) {
    bool ok = false;
    options.layout = parser.value(layout).toInt(&ok);
    if (!ok || model::page_size_item(options.layout) < 0) {
      std::fprintf(stderr, "brevanta: --layout takes 1, 4, 9 or 16\n");
      return 2;
    }
  }
  if (parser.isSet(status)) options.status_file = parser.value(status).toStdString();

  CTavimorApp app(options);
  // A termination request ends the program the orderly way: views stopped,
  // devices logged out, the SDK released.
  platform::TerminationSignalFd termination;
  QSocketNotifier notifier(termination.fd(), QSocketNotifier::Read);
  notifier.setEnabled(termination.fd() >= 0);
  QObject::connect(&notifier, &QSocketNotifier::activated, &qapp, [&] {
    if (termination.take() > 0) app.RequestExit();
  });
  if (app.InitInstance()) app.Run();
  app.ExitInstance();
  return 0;
}
