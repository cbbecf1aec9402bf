#include "wizard/wizard_main.h"

#include <QApplication>
#include <QDir>
#include <QIcon>
#include <QLockFile>
#include <QSplashScreen>
#include <QStandardPaths>
#include <QTimer>
#include <cstdio>
#include <cstdlib>

#include "activitylog/activity_log.h"
#include "platform/install_paths.h"
#include "wizard/qt_text.h"
#include "wizard/wizard.h"
#include "wizard/window_texts.h"

namespace restorix::wizard {

namespace {

constexpr int kSplashMs = 1500;

bool environmentSet(const char* name) {
    const char* value = std::getenv(name);
    return value && *value;
}

}  // namespace

bool displayAvailable() {
    return environmentSet("DISPLAY") || environmentSet("WAYLAND_DISPLAY") || environmentSet("QT_QPA_PLATFORM");
}

std::unique_ptr<QLockFile> takeInstanceLock(const QString& folder) {
    QDir().mkpath(folder);
    auto lock = std::make_unique<QLockFile>(folder + "/Restorix for Oracle Database.lock");
    lock->setStaleLockTime(0);  // a lock left by a process that died is taken over
    if (!lock->tryLock(0)) return nullptr;
    return lock;
}

int runWizard(int argc, char** argv) {
    if (!displayAvailable()) {
        std::fprintf(stderr, "%s\n", kNoDisplayMessage);
        return kNoDisplayExitCode;
    }
    QApplication app(argc, argv);
    app.setWindowIcon(QIcon(qText(installFolder() + "/restorix.svg")));
    QtWizardServices services;
    QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (runtime.isEmpty()) runtime = QDir::tempPath();
    const std::unique_ptr<QLockFile> lock = takeInstanceLock(runtime);
    if (!lock) {
        services.inform(nullptr, kAlreadyRunning, kProductName, BoxIcon::Information);
        return 0;
    }
    ActivityLog log;
    SystemClock clock;
    Wizard wizard(WizardContext{services, log, clock, installFolder(), WizardTimings{}});
    QSplashScreen splash(QPixmap(qText(wizard.context().installFile(kSplashPicture))));
    splash.show();
    QTimer::singleShot(kSplashMs, &app, [&] {
        splash.close();
        wizard.start();
    });
    return app.exec();
}

}  // namespace restorix::wizard
