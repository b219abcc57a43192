#include "shell/vantor_app.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication qapp(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Marlowe Vantor Application"));
    QApplication::setApplicationName(QStringLiteral("Vantor"));

    CVantorApp app(CVantorApp::Options{});
    switch (app.InitInstance()) {
    case CVantorApp::Start::SecondInstance: return 0;
    case CVantorApp::Start::Failed: return 1;
    case CVantorApp::Start::Ok: break;
    }
    return QApplication::exec();
}
