#include <QApplication>
#include <QIcon>

#include "frm_principal.h"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("dla"));
    QApplication::setDesktopFileName(QStringLiteral("dla"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/dla/dla.png")));
    dla::FRMPrincipal window;
    window.show();
    return QApplication::exec();
}
