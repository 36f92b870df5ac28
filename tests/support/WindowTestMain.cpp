// Runs GoogleTest inside a QApplication, so widget tests have an application object.
#include "QtPrinters.h"
#include <QApplication>

#include <gtest/gtest.h>

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setApplicationName(u"Quillbus Service Tool"_s);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
