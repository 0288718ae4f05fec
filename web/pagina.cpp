#include "pagina.h"

#include <emscripten.h>

#include <string>

#include "estimate/fractal_dimension.h"
#include "system_size_text.h"
#include "window/growth.h"
#include "window_steps.h"

// The page's script (pagina.js) keeps the controls; these are its side of the toolkit.
// clang-format off
EM_JS(void, jsSetStatus, (const char* text), { dlaPagina.setStatus(UTF8ToString(text)); });
EM_JS(int, jsEntryLength, (), { return dlaPagina.entryText().length; });
EM_JS(void, jsEntryText, (char16_t* buffer, int length), {
    stringToUTF16(dlaPagina.entryText(), buffer, 2 * length + 2);
});
EM_JS(void, jsFocusEntry, (), { dlaPagina.focusEntry(); });
EM_JS(void, jsShowPixels, (const std::uint32_t* pixels, int width, int left, int top, int right,
                           int bottom), {
    dlaPagina.showPixels(HEAPU32, pixels >> 2, width, left, top, right, bottom);
});
EM_JS(int, jsNextCommand, (), { return dlaPagina.nextCommand(); });
EM_JS(int, jsDecimalSeparator, (), { return dlaPagina.decimalSeparator(); });
EM_ASYNC_JS(void, jsMessage, (const char* text, int style), {
    await dlaPagina.message(UTF8ToString(text), style);
});
EM_ASYNC_JS(void, jsHandOver, (), { await dlaPagina.handOver(); });
// clang-format on

namespace dla {

namespace {

constexpr Pixel kBackground = pixelOf(0xF0, 0xF0, 0xF0);

// The commands the page's script queues.
enum Command { kNoCommand = 0, kExecutar = 1, kDimensao = 2 };

double seconds() {
    return emscripten_get_now() / 1000.0;
}

std::u16string entryText() {
    std::u16string text(static_cast<std::size_t>(jsEntryLength()), u'\0');
    jsEntryText(text.data(), static_cast<int>(text.size()));
    return text;
}

}  // namespace

void WebToolkit::setStatusText(std::string_view text) {
    jsSetStatus(std::string(text).c_str());
}

bool WebToolkit::yield() {
    const double now = seconds();
    if (now - lastHandOver_ < kSliceSeconds) return true;
    page_.showDrawing();
    jsHandOver();
    lastHandOver_ = seconds();
    page_.runQueuedCommands();
    return true;
}

void WebToolkit::retangulo(std::int16_t a, std::int16_t b, Rgb cor) {
    page_.retangulo(a, b, cor);
}

void WebToolkit::messageBox(std::string_view text, MessageStyle style) {
    page_.showDrawing();
    jsMessage(std::string(text).c_str(), static_cast<int>(style));
    lastHandOver_ = seconds();
}

std::string WebToolkit::decimalSeparator() const {
    return std::string(1, static_cast<char>(jsDecimalSeparator()));
}

Pagina::Pagina(FastGenerator generator) : random_(std::move(generator), toolkit_) {
    Tela.reset(kTelaDrawingPixels, kTelaDrawingPixels, kBackground,
               kTelaDrawingPixels * kTwipsPerPixel, kTelaDrawingPixels * kTwipsPerPixel);
    drawn_ = {0, 0, kTelaDrawingPixels - 1, kTelaDrawingPixels - 1};
    Form_Load();
}

void Pagina::Form_Load() {
    SystemSize = 1;
    initialiseRandomSource(random_);
}

void Pagina::TXTN_KeyPress(std::int16_t& KeyAscii) {
    filterKey(KeyAscii);
}

void Pagina::CMDexecutar_Click() {
    if (runDepth_ >= kMostNestedRuns) return;
    const SizeReading reading = readSystemSize(entryText());
    switch (reading.verdict) {
        case SizeReading::Verdict::NotANumber:
            toolkit_.messageBox(kInvalidSizeMessage, MessageStyle::Exclamation);
            jsFocusEntry();
            return;
        case SizeReading::Verdict::TooLarge:
            toolkit_.messageBox(kSizeTooLargeMessage, MessageStyle::Exclamation);
            SystemSize = 1;
            return;
        case SizeReading::Verdict::Accepted:
            break;
    }
    SystemSize = reading.value;
    drawn_ = drawn_.joined(clearCanvasForRun(Tela, SystemSize));
    ++runDepth_;
    (void)Gerar_DLA(SystemSize, Lattice, random_, toolkit_);
    --runDepth_;
    showDrawing();
}

void Pagina::CMDLxM_Click() {
    (void)Dimensão_Fractal(SystemSize, Lattice, random_, toolkit_);
}

void Pagina::retangulo(std::int16_t a, std::int16_t b, Rgb cor) {
    drawn_ = drawn_.joined(plotSite(Tela, SystemSize, a, b, cor));
}

void Pagina::runQueuedCommands() {
    for (int command = jsNextCommand(); command != kNoCommand; command = jsNextCommand()) {
        if (command == kExecutar) CMDexecutar_Click();
        if (command == kDimensao) CMDLxM_Click();
    }
}

void Pagina::showDrawing() {
    if (drawn_.empty()) return;
    jsShowPixels(Tela.pixels(), Tela.width(), drawn_.left, drawn_.top, drawn_.right, drawn_.bottom);
    drawn_ = {};
}

}  // namespace dla

namespace {

dla::Pagina* page = nullptr;

}  // namespace

extern "C" {

/// Makes the page's window: seeded with `seed` when `seeded`, else from the clock.
EMSCRIPTEN_KEEPALIVE void dla_pagina_abrir(int seeded, double seed) {
    delete page;
    page = new dla::Pagina(seeded ? dla::FastGenerator::of(static_cast<std::uint64_t>(seed))
                                  : dla::FastGenerator::clockSeeded());
}

/// The key filter: the character code to insert, 0 to cancel the keystroke.
EMSCRIPTEN_KEEPALIVE int dla_pagina_tecla(int code) {
    auto KeyAscii =
        code >= 0 && code <= 0x7FFF ? static_cast<std::int16_t>(code) : std::int16_t{-1};
    page->TXTN_KeyPress(KeyAscii);
    return KeyAscii;
}

/// Runs the queued commands; the script calls it when no command is in progress.
EMSCRIPTEN_KEEPALIVE void dla_pagina_despachar() {
    page->runQueuedCommands();
}

EMSCRIPTEN_KEEPALIVE int dla_pagina_n() {
    return page->systemSize();
}

}  // extern "C"
