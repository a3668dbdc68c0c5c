#pragma once
// Numeric edits with a small up-down button at their right edge: TSpinEdit2 for
// integers, TFloatSpinEdit for floating values. Dialogs read and write Value.
//
// Reading Value converts the text and does not clamp (an unreadable text reads as
// MinValue); writing clamps to MinValue..MaxValue unless the two are equal, then
// rewrites the text. Keys other than digits, signs and (for floats) the decimal
// separator are refused with a beep; with EditorEnabled off the text can only change
// through the arrows.
#include <QLineEdit>
#include <functional>

#include "controls/UpDown.h"

namespace qm {

class TSpinEditBase : public QLineEdit {
 public:
  explicit TSpinEditBase(QWidget* parent = nullptr);

  bool EditorEnabled() const { return editorEnabled_; }
  void SetEditorEnabled(bool on);
  bool ShowUpDown() const { return showUpDown_; }
  void SetShowUpDown(bool on);
  bool AutoSelect() const { return autoSelect_; }
  void SetAutoSelect(bool on) { autoSelect_ = on; }
  TUpDown* Button() const { return upDown_; }

  // Fired when the text changes, when the field gains and loses the focus.
  std::function<void()> OnChange, OnEnter, OnExit;

  // Whether a typed character may reach the text.
  virtual bool IsValidChar(QChar key) const = 0;
  virtual void UpClick() = 0;
  virtual void DownClick() = 0;

  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;

 protected:
  virtual void UpDownClick(TUDBtnType button);
  // Leaving the field: the subclasses write their value back.
  virtual void LeaveField() = 0;

  // A typed character after the class's own replacement (the float edit turns "." into
  // the decimal separator).
  virtual QString TypedText(QChar key) const { return QString(key); }

  void keyPressEvent(QKeyEvent* e) override;
  void focusInEvent(QFocusEvent* e) override;
  void focusOutEvent(QFocusEvent* e) override;
  void resizeEvent(QResizeEvent* e) override;
  void changeEvent(QEvent* e) override;
  void contextMenuEvent(QContextMenuEvent* e) override;
  void inputMethodEvent(QInputMethodEvent* e) override;

 private:
  bool Writable() const { return editorEnabled_ && !isReadOnly(); }
  int MinHeight() const;
  void LayOutButton();

  TUpDown* upDown_;
  bool editorEnabled_ = true;
  bool showUpDown_ = true;
  bool autoSelect_ = true;
};

class TSpinEdit2 : public TSpinEditBase {
 public:
  explicit TSpinEdit2(QWidget* parent = nullptr);

  int Value() const;
  void SetValue(int value);
  int Increment() const { return increment_; }
  void SetIncrement(int v) { increment_ = v; }
  int MinValue() const { return min_; }
  void SetMinValue(int v) { min_ = v; }
  int MaxValue() const { return max_; }
  void SetMaxValue(int v) { max_ = v; }

  // The value within MinValue..MaxValue (any value when they are equal).
  int CheckValue(int64_t value) const;

  bool IsValidChar(QChar key) const override;
  void UpClick() override;
  void DownClick() override;

 protected:
  void LeaveField() override;

 private:
  int increment_ = 1, min_ = 0, max_ = 0;
};

class TFloatSpinEdit : public TSpinEditBase {
 public:
  explicit TFloatSpinEdit(QWidget* parent = nullptr);

  double Value() const;
  void SetValue(double value);
  double Increment() const { return increment_; }
  void SetIncrement(double v) { increment_ = v; }
  double MinValue() const { return min_; }
  void SetMinValue(double v) { min_ = v; }
  double MaxValue() const { return max_; }
  void SetMaxValue(double v) { max_ = v; }
  // The picture the value is shown with ("0.00"); an empty one becomes "0.00".
  const QString& Format() const { return format_; }
  void SetFormat(const QString& format);

  double CheckValue(double value) const;

  bool IsValidChar(QChar key) const override;
  void UpClick() override;
  void DownClick() override;

 protected:
  void LeaveField() override;
  QString TypedText(QChar key) const override;

 private:
  double increment_ = 1.0, min_ = 0.0, max_ = 0.0;
  QString format_ = QStringLiteral("0.00");
};

}  // namespace qm
