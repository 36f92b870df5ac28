#include "LibraryDriver.h"
#include "PanelWindow.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quillbus Service Tool"));

    LibraryDriver driver;
    PanelWindow panel(driver);
    panel.show();
    return QApplication::exec();
}
