// Runs GoogleTest inside a QCoreApplication: the engines' tests need an event loop and
// nothing of a display.
#include <QCoreApplication>

#include <gtest/gtest.h>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Quillbus Service Tool"));
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
