// The front panel's own controls: a key with its lamp (or a lamp alone), and
// a knob as an up-down control that reports every turn.
#pragma once

#include <QAbstractButton>
#include <QColor>
#include <QSpinBox>
#include <QVariant>

// A key that raises a click and shows its lamp: the key's face takes colour
// property 6 and its caption colour property 8 (a readable one instead when
// that would not stand out on the face, as black on a dark theme's face).
// The lamp-only kind is a round lamp whose on/off value is property 2. The
// lamp state is also the button's checked state, so assistive tools read it;
// a click never changes it.
class CLampKey : public QAbstractButton {
    Q_OBJECT
public:
    enum class Kind { Key, Lamp };
    static constexpr int kValue = 2;
    static constexpr int kFaceColour = 6;
    static constexpr int kCaptionColour = 8;

    CLampKey(const QString &text, Kind kind, QWidget *parent);

    void SetProperty(int id, const QVariant &value);
    QVariant GetProperty(int id) const;
    Kind kind() const { return m_kind; }
    // Lit: a lamp that is on, or a key whose face is not the button face.
    bool lit() const;
    // The text colour painted on the face (readable whatever the theme).
    QColor textColour() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void changeEvent(QEvent *event) override;
    void nextCheckState() override {}

private:
    void UpdateChecked();

    Kind m_kind;
    QColor m_face;
    QColor m_caption = Qt::black;
    bool m_bValue = false;
};

// A knob: an up-down control over a range, starting at 0. Every step (arrow,
// key, wheel notch) reports its delta, even at the ends of the range, since
// the instrument's knob has no end; the position shown stops there.
class CKnobSpin : public QSpinBox {
    Q_OBJECT
public:
    CKnobSpin(int range, QWidget *parent);
    void stepBy(int steps) override;

signals:
    void turned(int delta);

protected:
    StepEnabled stepEnabled() const override { return StepUpEnabled | StepDownEnabled; }
    void wheelEvent(QWheelEvent *event) override;

private:
    int m_nWheel = 0;  // eighths of a degree not yet turned into a notch
};
