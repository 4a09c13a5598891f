#include "platform/ui/DeferredStandardIcons.h"

#include <QApplication>
#include <QIconEngine>
#include <QPainter>
#include <QPointer>
#include <QWidget>
#include <optional>

namespace airlark {

namespace {

class DeferredIconEngine : public QIconEngine
{
public:
    DeferredIconEngine(QStyle* style, QStyle::StandardPixmap standardIcon, const QWidget* widget)
        : style_(style), standardIcon_(standardIcon), widget_(const_cast<QWidget*>(widget))
    {
    }

    QIconEngine* clone() const override { return new DeferredIconEngine(*this); }
    QString key() const override { return QStringLiteral("airlark.DeferredStandardIcon"); }

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override
    {
        icon().paint(painter, rect, Qt::AlignCenter, mode, state);
    }
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override
    {
        return icon().pixmap(size, mode, state);
    }
    // `size` is in device pixels here: the icon is asked for its size in the window's units.
    QPixmap scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State state, qreal scale) override
    {
        return icon().pixmap(size / scale, scale, mode, state);
    }
    QSize actualSize(const QSize& size, QIcon::Mode mode, QIcon::State state) override
    {
        return icon().actualSize(size, mode, state);
    }
    QList<QSize> availableSizes(QIcon::Mode mode, QIcon::State state) override
    {
        return icon().availableSizes(mode, state);
    }
    bool isNull() override { return icon().isNull(); }

private:
    const QIcon& icon()
    {
        if (!icon_)
            icon_ = style_ ? style_->standardIcon(standardIcon_, nullptr, widget_) : QIcon();
        return *icon_;
    }

    QPointer<QStyle> style_;
    QStyle::StandardPixmap standardIcon_;
    QPointer<QWidget> widget_; // only read
    std::optional<QIcon> icon_;
};

} // namespace

void DeferredStandardIconStyle::install()
{
    // The proxy takes the chosen style over; QApplication lets go of it without deleting it.
    QApplication::setStyle(new DeferredStandardIconStyle(QApplication::style()));
}

QIcon DeferredStandardIconStyle::standardIcon(StandardPixmap standardIcon, const QStyleOption* option,
                                              const QWidget* widget) const
{
    // An option is the caller's for this call only.
    if (option)
        return QProxyStyle::standardIcon(standardIcon, option, widget);
    return QIcon(new DeferredIconEngine(baseStyle(), standardIcon, widget));
}

} // namespace airlark
