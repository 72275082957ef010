#include "app/Application.h"

#include <QApplication>
#include <QIcon>
#include <QMainWindow>

#include "model/project/FactorySettings.h"

namespace velquine {

int runApplication(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Velquine"));
    QApplication::setOrganizationName(QStringLiteral("Velquine"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/velquine.svg")));
    registerFactoryDefaults();

    QMainWindow window;
    window.setWindowTitle(QStringLiteral("Untitled"));
    window.resize(1024, 720);
    window.show();
    return app.exec();
}

} // namespace velquine
