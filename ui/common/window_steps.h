#pragma once

#include <cstdint>

#include "base/toolkit.h"
#include "random/generators.h"
#include "random/random_source.h"
#include "raster_canvas.h"

/// The steps of the window's handlers that touch no toolkit, shared by the window and the page:
/// the key filter, the clearing of the canvas before a run and the plotting of one site.
namespace dla {

/// The title of every message box.
inline constexpr char kApplicationTitle[] = "DLA";
/// The run command's two refusals, UTF-8.
inline constexpr char kInvalidSizeMessage[] = "Número inválido para N!";
inline constexpr char kSizeTooLargeMessage[] =
    "Sistema muito grande! É necessária uma alteração no código fonte!";

/// Runs in progress at most, the outermost one counted. A run lets events run after every
/// particle, and a press of "Executar" then nests a run in it; holding the space bar on the
/// focused button presses it at the keyboard's repeat rate, and thousands of nested runs would
/// overflow the stack. Eight is more than anyone nests on purpose; a press beyond is ignored.
inline constexpr int kMostNestedRuns = 8;

/// The drawing area of `Tela` at 96 dots per inch: its 6030 twips (402 pixels) less a sunken
/// border of 2 pixels a side.
inline constexpr int kTelaDrawingPixels = 398;

/// What the window's load does to the random source: one re-initialisation, its result dropped.
/// A window made with a seeded generator grows on its first run what a headless run grows from
/// the same seed after this step.
void initialiseRandomSource(RandomSource<FastGenerator>& random);

/// The key filter of `TXTN`: sets `KeyAscii` to 0 (cancel) unless it is a digit or backspace.
void filterKey(std::int16_t& KeyAscii);

/// Steps 7 and 8 of the run command: the canvas's logical height, then width, set to 2N, and
/// the whole of it painted black. Returns the pixels it changed.
PixelRect clearCanvasForRun(RasterCanvas& canvas, std::int32_t SystemSize);

/// `retangulo`'s drawing: lattice site (a, b) as a disc of radius 1 centred at
/// (2a + N - 1, 2b + N - 1) on the 2N x 2N canvas, filled and outlined in `cor`; the fill style
/// and colour stay set. `SystemSize` at most kLargestSystemSize. Returns the pixels it may have
/// changed.
PixelRect plotSite(RasterCanvas& canvas, std::int32_t SystemSize, std::int16_t a, std::int16_t b,
                   Rgb cor);

constexpr Pixel pixelOf(Rgb colour) {
    return pixelOf(colour.red, colour.green, colour.blue);
}

}  // namespace dla
