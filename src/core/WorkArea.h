#pragma once

class QWidget;

namespace orvel {

// The main window's work area as the panels overlaid in it see it: its size by the layout rules
// (the area below the menu, toolbar and status bar included) and the layout step that centres
// them. The panels bind to this rather than to the window class, so that they depend on nothing
// above them.
class WorkArea {
 public:
  virtual ~WorkArea() = default;
  virtual QWidget* windowWidget() = 0;
  virtual int clientWidth() const = 0;
  virtual int clientHeight() const = 0;
  virtual int statusBarHeight() const = 0;
  // Sizes a window in its normal state to the panels and centres them again.
  virtual void relayout() = 0;
};

}  // namespace orvel
