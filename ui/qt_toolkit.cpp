#include "qt_toolkit.h"

#include <QLocale>
#include <QString>

#include "frm_principal.h"

namespace dla {

namespace {

QString fromUtf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

void QtToolkit::setStatusText(std::string_view text) {
    window_.setStatusText(fromUtf8(text));
}

bool QtToolkit::yield() {
    return window_.yieldToEvents();
}

void QtToolkit::retangulo(std::int16_t a, std::int16_t b, Rgb cor) {
    window_.retangulo(a, b, cor);
}

void QtToolkit::messageBox(std::string_view text, MessageStyle style) {
    window_.showMessage(fromUtf8(text), style);
}

std::string QtToolkit::decimalSeparator() const {
    return QLocale::system().decimalPoint().toStdString();
}

}  // namespace dla
