#pragma once

#include "image/raster_image.h"

#include <QPoint>
#include <cstdint>
#include <QString>

#include <functional>

class QAbstractButton;
class QMenu;
class QWidget;

namespace nubo::test {

// Runs handler on the next modal widget (dialog or message box) once it is up, from a short timer, so that a
// test can answer a dialog that a command opens with exec(). Gives up after about five seconds.
void whenModal(std::function<void(QWidget*)> handler);

// Same for the next popup menu.
void whenPopup(std::function<void(QMenu*)> handler);

// Drops every handler still waiting: a test calls it once the dialogs it expected have come and gone, so that a
// handler whose window never came cannot answer a later one.
void stopWaiting();

// Clicks button; if a message box comes up, returns its text and closes it; otherwise returns an empty string.
QString clickAndCatchMessage(QAbstractButton* button);

// Left-button drag with simulated mouse events: press at from, moves through the midpoint to to, release at to.
void drag(QWidget* view, QPoint from, QPoint to);

// Chooses the action with this text in the menu (or in its submenus, opening them as a user would).
void chooseMenuItem(QMenu* menu, const QString& text);

// A w x h picture of one colour, saved as a bitmap in a temporary folder; returns the path.
QString writeBitmap(int w, int h, std::uint8_t r, std::uint8_t g, std::uint8_t b, const QString& name);

// Keeps this test program's settings (the recent-file list) in its own temporary folder, apart from the user's
// and from other test programs running at the same time.
void isolateSettings();

// The temporary folder of this test run.
QString scratchDir();

} // namespace nubo::test
