#include "frm_principal.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QStyleOptionFrame>
#include <optional>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

#include "estimate/fractal_dimension.h"
#include "system_size_text.h"
#include "window/growth.h"
#include "window_font.h"
#include "window_steps.h"

namespace dla {

namespace {

struct TwipRect {
    int left, top, width, height;
};

constexpr QRect pixels(TwipRect r) {
    return {r.left / kTwipsPerPixel, r.top / kTwipsPerPixel, r.width / kTwipsPerPixel,
            r.height / kTwipsPerPixel};
}

constexpr bool wholePixels(TwipRect r) {
    return r.left % kTwipsPerPixel == 0 && r.top % kTwipsPerPixel == 0 &&
           r.width % kTwipsPerPixel == 0 && r.height % kTwipsPerPixel == 0;
}

constexpr TwipRect kClientArea{0, 0, 8130, 6360};
constexpr TwipRect kTXTPercentual{240, 5565, 1590, 285};
constexpr TwipRect kTXTInforme{210, 3225, 1620, 1935};
constexpr TwipRect kFrame1{240, 2040, 1470, 810};
constexpr TwipRect kCMDLxM{90, 210, 1275, 510};  // inside Frame1
constexpr TwipRect kTXTN{390, 660, 1020, 285};
constexpr TwipRect kTela{1995, 240, 6030, 6030};
constexpr TwipRect kCMDExecutar{390, 1620, 1065, 330};
constexpr TwipRect kLBLN{390, 450, 285, 165};
static_assert(wholePixels(kClientArea) && wholePixels(kTXTPercentual) && wholePixels(kTXTInforme) &&
              wholePixels(kFrame1) && wholePixels(kCMDLxM) && wholePixels(kTXTN) &&
              wholePixels(kTela) && wholePixels(kCMDExecutar) && wholePixels(kLBLN));

constexpr std::int16_t kBackspace = 8;
constexpr std::int16_t kEnter = 13;
constexpr std::int16_t kEscape = 27;

QMessageBox::Icon iconFor(MessageStyle style) {
    switch (style) {
        case MessageStyle::Exclamation:
            return QMessageBox::Warning;
        case MessageStyle::Information:
            return QMessageBox::Information;
        case MessageStyle::None:
            break;
    }
    return QMessageBox::NoIcon;
}

std::int16_t characterCode(QChar c) {
    // Codes beyond the signed 16-bit range are no digits either; any code outside the filter's
    // set is cancelled alike.
    return c.unicode() <= 0x7FFF ? static_cast<std::int16_t>(c.unicode()) : std::int16_t{-1};
}

// The character codes that a key press types into the box, or nothing for keys that type no
// character: navigation and editing keys, Tab (the focus moves on) and shortcuts with Ctrl or
// Meta, such as Ctrl+V, whose pasted text is deliberately not filtered.
std::optional<QString> typedCharacters(const QKeyEvent& key) {
    switch (key.key()) {
        case Qt::Key_Backspace:
            return QString(QChar(kBackspace));
        case Qt::Key_Return:
        case Qt::Key_Enter:
            return QString(QChar(kEnter));
        case Qt::Key_Escape:
            return QString(QChar(kEscape));
        case Qt::Key_Tab:
        case Qt::Key_Backtab:
        case Qt::Key_Delete:
            return std::nullopt;
        default:
            break;
    }
    if (key.modifiers() & (Qt::ControlModifier | Qt::MetaModifier)) return std::nullopt;
    if (key.text().isEmpty()) return std::nullopt;
    return key.text();
}

QSize buttonTextRoom(const QPushButton& button) {
    QStyleOptionButton option;
    option.initFrom(&button);
    option.text = button.text();
    return button.style()->subElementRect(QStyle::SE_PushButtonContents, &option, &button).size();
}

QSize lineEditTextRoom(const QLineEdit& edit) {
    QStyleOptionFrame option;
    option.initFrom(&edit);
    option.lineWidth = edit.style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, &edit);
    const QRect contents =
        edit.style()->subElementRect(QStyle::SE_LineEditContents, &option, &edit);
    // QLineEdit keeps a further margin of 2 pixels across and 1 down inside its contents.
    return contents.size() - QSize(4, 2);
}

#if defined(__x86_64__) || defined(__i386__)
[[gnu::target("avx")]] void zeroUpperVectorHalves() {
    _mm256_zeroupper();
}

// Parts of the drawing that a yield runs (Qt's and the C library's vectorised routines) can
// return with the upper halves of the AVX registers in use; until they are cleared every SSE
// instruction of the walk that follows pays for it (docs/performance.md).
void clearVectorState() {
    static const bool hasAvx = __builtin_cpu_supports("avx");
    if (hasAvx) zeroUpperVectorHalves();
}
#else
void clearVectorState() {}
#endif

}  // namespace

FRMPrincipal::FRMPrincipal(QWidget* parent) : FRMPrincipal(FastGenerator::clockSeeded(), parent) {}

FRMPrincipal::FRMPrincipal(FastGenerator generator, QWidget* parent)
    : QWidget(parent), random_(std::move(generator), toolkit_) {
    setObjectName(QStringLiteral("FRMPrincipal"));
    setWindowTitle(QString::fromUtf16(kWindowCaption));
    // The controls keep fixed places, so the window keeps the size they were laid out for.
    setFixedSize(pixels(kClientArea).size());
    createControls();
    applyWindowFont();
    Form_Load();
}

FRMPrincipal::~FRMPrincipal() = default;

void FRMPrincipal::createControls() {
    // Created in tab order, which is also the focus chain's order.
    CMDExecutar = new QPushButton(QStringLiteral("Executar"), this);
    Tela = new Canvas(this);
    TXTN = new QLineEdit(QStringLiteral("200"), this);
    LBLN = new QLabel(QStringLiteral("N:"), this);
    Frame1 = new QGroupBox(this);
    CMDLxM = new QPushButton(QStringLiteral("Dimensão Fractal"), Frame1);
    TXTInforme = new QPlainTextEdit(this);
    TXTPercentual = new QLineEdit(this);

    CMDExecutar->setObjectName(QStringLiteral("CMDExecutar"));
    Tela->setObjectName(QStringLiteral("Tela"));
    TXTN->setObjectName(QStringLiteral("TXTN"));
    LBLN->setObjectName(QStringLiteral("LBLN"));
    Frame1->setObjectName(QStringLiteral("Frame1"));
    CMDLxM->setObjectName(QStringLiteral("CMDLxM"));
    TXTInforme->setObjectName(QStringLiteral("TXTInforme"));
    TXTPercentual->setObjectName(QStringLiteral("TXTPercentual"));

    CMDExecutar->setGeometry(pixels(kCMDExecutar));
    Tela->setGeometry(pixels(kTela));
    TXTN->setGeometry(pixels(kTXTN));
    LBLN->setGeometry(pixels(kLBLN));
    Frame1->setGeometry(pixels(kFrame1));
    CMDLxM->setGeometry(pixels(kCMDLxM));
    TXTInforme->setGeometry(pixels(kTXTInforme));
    TXTPercentual->setGeometry(pixels(kTXTPercentual));

    // Neither button is a default or cancel button: Enter and Escape press nothing.
    for (QPushButton* button : {CMDExecutar, CMDLxM}) {
        button->setAutoDefault(false);
        button->setDefault(false);
    }
    // The canvas shows no focus, so it gives its turn in the tab order away.
    Tela->setFocusPolicy(Qt::NoFocus);

    // The two display boxes are never read by the program; typing into them would only
    // suggest otherwise. They still take the focus in their turn, so their text can be copied.
    TXTPercentual->setReadOnly(true);
    TXTInforme->setReadOnly(true);
    TXTInforme->setTabChangesFocus(true);
    TXTInforme->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    TXTInforme->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    QString information = QString::fromUtf16(kInformationText);
    information.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    TXTInforme->setPlainText(information);

    QWidget::setTabOrder(CMDExecutar, Tela);
    QWidget::setTabOrder(Tela, TXTN);
    QWidget::setTabOrder(TXTN, CMDLxM);
    QWidget::setTabOrder(CMDLxM, TXTInforme);
    QWidget::setTabOrder(TXTInforme, TXTPercentual);
    CMDExecutar->setFocus();

    TXTN->installEventFilter(this);
    connect(CMDExecutar, &QPushButton::clicked, this, &FRMPrincipal::CMDexecutar_Click);
    connect(CMDLxM, &QPushButton::clicked, this, &FRMPrincipal::CMDLxM_Click);
}

void FRMPrincipal::applyWindowFont() {
    std::vector<CaptionSpace> captions{
        {CMDExecutar->text(), buttonTextRoom(*CMDExecutar)},
        {CMDLxM->text(), buttonTextRoom(*CMDLxM)},
        {LBLN->text(), LBLN->contentsRect().size()},
        {QString::number(kLargestSystemSize), lineEditTextRoom(*TXTN)},
        {QStringLiteral("Iniciando..."), lineEditTextRoom(*TXTPercentual)},
    };
    setFont(chooseWindowFont(captions));

    QFont information = msSansSerif(8.25);
    information.setWeight(QFont::Bold);
    information.setItalic(false);
    information.setUnderline(false);
    information.setStrikeOut(false);
    TXTInforme->setFont(information);
}

void FRMPrincipal::Form_Load() {
    SystemSize = 1;
    initialiseRandomSource(random_);
}

void FRMPrincipal::TXTN_KeyPress(std::int16_t& KeyAscii) {
    filterKey(KeyAscii);
}

void FRMPrincipal::CMDexecutar_Click() {
    if (runDepth_ >= kMostNestedRuns) return;
    const SizeReading reading = readSystemSize(TXTN->text().toStdU16String());
    switch (reading.verdict) {
        case SizeReading::Verdict::NotANumber:
            showMessage(QString::fromUtf8(kInvalidSizeMessage), MessageStyle::Exclamation);
            TXTN->setFocus();
            return;
        case SizeReading::Verdict::TooLarge:
            // The refused value is not stored first: nothing can read N while the modal box
            // is up, and twice a value of ten digits would not fit 32 bits.
            showMessage(QString::fromUtf8(kSizeTooLargeMessage), MessageStyle::Exclamation);
            SystemSize = 1;
            return;
        case SizeReading::Verdict::Accepted:
            break;
    }
    SystemSize = reading.value;
    Tela->changed(clearCanvasForRun(Tela->raster(), SystemSize));
    ++runDepth_;
    (void)Gerar_DLA(SystemSize, Lattice, random_, toolkit_);
    --runDepth_;
}

void FRMPrincipal::CMDLxM_Click() {
    (void)Dimensão_Fractal(SystemSize, Lattice, random_, toolkit_);
}

void FRMPrincipal::retangulo(std::int16_t a, std::int16_t b, Rgb cor) {
    Tela->changed(plotSite(Tela->raster(), SystemSize, a, b, cor));
}

void FRMPrincipal::setStatusText(const QString& text) {
    TXTPercentual->setText(text);
}

bool FRMPrincipal::yieldToEvents() {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    clearVectorState();
    return !closing_;
}

void FRMPrincipal::showMessage(const QString& text, MessageStyle style) {
    QMessageBox box(iconFor(style), QString::fromUtf8(kApplicationTitle), text, QMessageBox::Ok,
                    this);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

bool FRMPrincipal::eventFilter(QObject* watched, QEvent* event) {
    if (watched == TXTN && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (const std::optional<QString> typed = typedCharacters(*key)) {
            // One key press can type several characters (an input method); it is let through
            // whole or not at all.
            for (const QChar c : *typed) {
                std::int16_t KeyAscii = characterCode(c);
                TXTN_KeyPress(KeyAscii);
                if (KeyAscii == 0) return true;
            }
        }
    }
    return QWidget::eventFilter(watched, event);
}

void FRMPrincipal::closeEvent(QCloseEvent* event) {
    // The window closes at once, also during a run: the runs in progress see the flag at
    // their next yield and return, and the event loop then ends the program.
    closing_ = true;
    QWidget::closeEvent(event);
}

}  // namespace dla
