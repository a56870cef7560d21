#pragma once

class QWidget;

namespace orvel {

// Centres a top-level window on the screen it is on (or the primary screen).
void centreOnScreen(QWidget* window);
// A window with a fixed single border: the user cannot resize it.
void fixSize(QWidget* window);

}  // namespace orvel
