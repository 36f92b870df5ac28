// Runs GoogleTest inside a QCoreApplication: the engines' tests need an event loop and
// nothing of a display.
#include "QtPrinters.h"
#include <QCoreApplication>

#include <gtest/gtest.h>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(u"Quillbus Service Tool"_s);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
