#include "panel_controls.h"

#include <QEvent>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

namespace {

double Luminance(const QColor &c)
{
    auto channel = [](double v) { return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
    return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) + 0.0722 * channel(c.blueF());
}

double Contrast(const QColor &a, const QColor &b)
{
    const double la = Luminance(a), lb = Luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// Bold captions of this size stay legible from a contrast of 3.
constexpr double kReadable = 3.0;
constexpr int kLampDiameter = 14;

}  // namespace

// ---- key and lamp -----------------------------------------------------------------

CLampKey::CLampKey(const QString &text, Kind kind, QWidget *parent)
    : QAbstractButton(parent), m_kind(kind), m_face(palette().color(QPalette::Button))
{
    setText(text);
    setCheckable(true);
    if (m_kind == Kind::Lamp) {
        setFocusPolicy(Qt::NoFocus);
        setAttribute(Qt::WA_TransparentForMouseEvents);
    } else {
        setFocusPolicy(Qt::StrongFocus);
    }
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
}

void CLampKey::SetProperty(int id, const QVariant &value)
{
    switch (id) {
    case kValue: m_bValue = value.toBool(); break;
    case kFaceColour: m_face = value.value<QColor>(); break;
    case kCaptionColour: m_caption = value.value<QColor>(); break;
    default: return;
    }
    UpdateChecked();
    update();
}

QVariant CLampKey::GetProperty(int id) const
{
    switch (id) {
    case kValue: return m_bValue;
    case kFaceColour: return m_face;
    case kCaptionColour: return m_caption;
    default: return {};
    }
}

bool CLampKey::lit() const { return m_kind == Kind::Lamp ? m_bValue : m_face != palette().color(QPalette::Button); }

void CLampKey::UpdateChecked() { setChecked(lit()); }

QColor CLampKey::textColour() const
{
    if (Contrast(m_caption, m_face) >= kReadable)
        return m_caption;
    const QColor candidates[] = {palette().color(QPalette::ButtonText), Qt::black, Qt::white};
    return *std::max_element(std::begin(candidates), std::end(candidates), [this](const QColor &a, const QColor &b) {
        return Contrast(a, m_face) < Contrast(b, m_face);
    });
}

QSize CLampKey::sizeHint() const
{
    QFont bold = font();
    bold.setBold(true);
    const QFontMetrics fm(bold);
    if (m_kind == Kind::Lamp)
        return QSize(kLampDiameter + 8 + fm.horizontalAdvance(text()) + 4, std::max(fm.height() + 8, 24));
    return QSize(std::max(64, fm.horizontalAdvance(text()) + 22), std::max(30, fm.height() + 14));
}

QSize CLampKey::minimumSizeHint() const { return sizeHint(); }

void CLampKey::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::FontChange) {
        UpdateChecked();
        updateGeometry();
        update();
    }
    QAbstractButton::changeEvent(event);
}

void CLampKey::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const bool on = lit();
    QFont f = font();
    f.setBold(on);
    p.setFont(f);

    if (m_kind == Kind::Lamp) {
        const QRectF lamp(3, (height() - kLampDiameter) / 2.0, kLampDiameter, kLampDiameter);
        QRadialGradient glow(lamp.center() - QPointF(2, 2), kLampDiameter / 1.4);
        const QColor colour = on ? QColor(0, 255, 0) : QColor(0, 70, 0);
        glow.setColorAt(0, on ? QColor(200, 255, 200) : colour.lighter(130));
        glow.setColorAt(1, colour);
        p.setBrush(glow);
        p.setPen(QPen(on ? QColor(0, 120, 0) : palette().color(QPalette::Shadow), 1));
        p.drawEllipse(lamp);
        p.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::WindowText));
        p.drawText(rect().adjusted(kLampDiameter + 8, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter, text());
        return;
    }

    const QRectF r = QRectF(rect()).adjusted(1.5, 1.5, -1.5, -1.5);
    QColor face = m_face;
    if (isDown())
        face = face.darker(120);
    QLinearGradient body(r.topLeft(), r.bottomLeft());
    body.setColorAt(0, face.lighter(on ? 115 : 106));
    body.setColorAt(1, face.darker(on ? 112 : 104));
    p.setBrush(body);
    // A lit key carries a heavy rim of its own colour, so it stands out on
    // light and dark faces alike.
    p.setPen(on ? QPen(m_face.darker(170), 2.5) : QPen(palette().color(QPalette::Mid), 1));
    p.drawRoundedRect(r, 4, 4);

    QColor caption = textColour();
    if (!isEnabled())
        caption.setAlphaF(0.45);
    p.setPen(caption);
    p.drawText(rect(), Qt::AlignCenter, text());
    if (hasFocus()) {
        QPen dashed(caption, 1, Qt::DotLine);
        p.setPen(dashed);
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(r.adjusted(3, 3, -3, -3), 2, 2);
    }
}

// ---- knob -------------------------------------------------------------------------

CKnobSpin::CKnobSpin(int range, QWidget *parent) : QSpinBox(parent)
{
    setRange(-range, range);
    setValue(0);
    setAlignment(Qt::AlignCenter);
    setKeyboardTracking(false);
    // Turned, never typed: a typed number would be one enormous turn.
    lineEdit()->setReadOnly(true);
}

void CKnobSpin::stepBy(int steps)
{
    if (steps == 0)
        return;
    emit turned(steps);
    QSpinBox::stepBy(steps);
}

void CKnobSpin::wheelEvent(QWheelEvent *event)
{
    m_nWheel += event->angleDelta().y();
    const int notches = m_nWheel / 120;
    m_nWheel -= notches * 120;
    stepBy(notches);
    event->accept();
}
