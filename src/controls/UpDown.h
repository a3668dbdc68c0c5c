#pragma once
// The up-down control: two arrow buttons side by side (up / down, or left / right),
// drawn by the style. Pressing a half reports it at once and, while held, again and
// again; the control keeps no value of its own.
#include <QTimer>
#include <QWidget>
#include <functional>

namespace qm {

enum TUDBtnType { btNext, btPrev };  // up or right / down or left
enum class TUDOrientation { Vertical, Horizontal };

class TUpDown : public QWidget {
 public:
  explicit TUpDown(QWidget* parent = nullptr);

  TUDOrientation Orientation() const { return orientation_; }
  void SetOrientation(TUDOrientation o);
  // Whether a held press repeats (after 400 ms, every 80 ms).
  bool AutoRepeat() const { return autoRepeat_; }
  void SetAutoRepeat(bool on) { autoRepeat_ = on; }

  // The half under a point of the control.
  TUDBtnType HalfAt(QPoint p) const;
  // The rectangles of the two halves.
  QRect HalfRect(TUDBtnType half) const;

  std::function<void(TUDBtnType)> OnClick;

  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent*) override;
  void mousePressEvent(QMouseEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;
  void changeEvent(QEvent* e) override;

  // The half drawn sunken; -1 for none.
  int down_ = -1;

 private:
  void Fire();

  TUDOrientation orientation_ = TUDOrientation::Vertical;
  bool autoRepeat_ = true;
  QTimer repeat_;
};

}  // namespace qm
