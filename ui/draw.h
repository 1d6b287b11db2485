// Drawing of a page. Everything is drawn into the logical surface (the page in its own
// orientation) selected into memoryDC, then presentFrame copies it to the screen, turned by
// `orientation` through the physical surface when the preferences ask for a turn.
//
// A paint is drawPage then presentFrame. A highlight change redraws one or two places (or the
// Cancel button) and presents; a countdown tick redraws its line and presents.
#pragma once

#include "ce/ce.h"

// Colours of the pages.
const COLORREF panelBlue = RGB(96, 152, 200);   // background, bands, pressed button
const COLORREF cancelBlue = RGB(48, 100, 152);  // the Cancel button

// Drawing objects, made by createDrawingObjects and held for the run, each selection's
// replaced object kept so that releaseDrawingObjects can put it back.
extern HBITMAP logicalSurface;   // logicalWidth x logicalHeight, 16 bpp, bottom-up
extern void* logicalBits;        // its pixel memory, read by the turned copy
extern HBITMAP physicalSurface;  // physicalWidth x physicalHeight, 16 bpp, bottom-up
extern void* physicalBits;
extern HPEN panelPen, cancelPen, whitePen;
extern HBRUSH panelBrush, cancelBrush, whiteBrush;
extern HFONT titleFont;   // page title and "Cancel"
extern HFONT buttonFont;  // button captions
extern HGDIOBJ replacedBitmap, replacedPen, replacedBrush;
extern HGDIOBJ defaultFont;  // the font titleFont replaced in memoryDC; the status lines use it

// Creation step of the main window, after computeLayout: the two surfaces, the logical one
// selected into memoryDC; the pens, brushes and fonts, the panelBlue pen and brush and titleFont
// selected. memoryDC must exist.
void createDrawingObjects();

// The close command's release: selects back what each selection replaced, deletes the surfaces,
// pens, brushes and fonts, then deletes memoryDC. Objects never made are skipped.
void releaseDrawingObjects();

// The whole currentPage with its title, buttons, status lines and Cancel button.
void drawPage();
// Place 1..6 of currentPage, filled blue when pressed.
void drawButton(int place, BOOL pressed);
void drawCancelButton(BOOL pressed);
// The countdown line of the status band ("Saving in %d s   ", or blanks to wipe it).
void drawCountdownLine(LPCWSTR text);
// Copies the finished page to `windowDC` at (0, 0), turned by `orientation`.
void presentFrame(HDC windowDC);
