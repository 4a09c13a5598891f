#include "platform/ui/WindowLayout.h"

#include <QEvent>
#include <QFormLayout>
#include <QLabel>
#include <QLayout>
#include <QWidget>

namespace airlark {

namespace {

// About forty characters of the label's own font: a short sentence per line.
constexpr int shortestLineInCharacters = 40;

class ContentsKeeper : public QObject
{
public:
    explicit ContentsKeeper(QWidget& window) : QObject(&window), baseMinimumHeight_(window.minimumHeight())
    {
        window.installEventFilter(this);
    }

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        switch (event->type()) {
        case QEvent::LayoutRequest:
        case QEvent::Resize:
        case QEvent::Show:
        case QEvent::FontChange:
            fit(*static_cast<QWidget*>(watched));
            break;
        default:
            break;
        }
        return false;
    }

private:
    void fit(QWidget& window)
    {
        QLayout* layout = window.layout();
        if (!layout || fitting_)
            return;
        fitting_ = true;
        layout->activate();
        const int width = window.width();
        const int needed = layout->hasHeightForWidth() ? layout->totalMinimumHeightForWidth(width)
                                                       : layout->totalMinimumSize().height();
        const int minimum = std::max(needed, baseMinimumHeight_);
        if (window.minimumHeight() != minimum)
            window.setMinimumHeight(minimum);
        fitting_ = false;
    }

    int baseMinimumHeight_;
    bool fitting_ = false;
};

} // namespace

QLabel* wrappingLabel(const QString& text, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    label->setMinimumWidth(label->fontMetrics().averageCharWidth() * shortestLineInCharacters);
    return label;
}

QLabel* noticeLabel(Notice kind, const QString& objectName, QWidget* parent)
{
    QLabel* label = wrappingLabel(QString(), parent);
    label->setObjectName(objectName);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    // A palette rather than a style sheet: the first style sheet sets up Qt's style-sheet machinery
    // for the whole window, a few milliseconds of start-up for one colour.
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText,
                     kind == Notice::Problem ? QColor(0xb3, 0x26, 0x1e) : QColor(0x8a, 0x53, 0x00));
    label->setPalette(palette);
    label->hide();
    return label;
}

QLabel* helpLabel(const QString& text, QWidget* parent)
{
    QLabel* label = wrappingLabel(text, parent);
    QFont font = label->font();
    font.setPointSizeF(font.pointSizeF() * 0.9);
    label->setFont(font);
    label->setForegroundRole(QPalette::PlaceholderText);
    return label;
}

void addFormRow(QFormLayout& form, const QString& label, QWidget* field, const QString& help)
{
    form.addRow(label, field);
    if (!help.isEmpty())
        form.addRow(QString(), helpLabel(help, field->parentWidget()));
}

QDialogButtonBox* buttonBar(QWidget* parent, QDialogButtonBox::StandardButtons buttons)
{
    return new QDialogButtonBox(buttons, parent);
}

void keepContentsWhole(QWidget& window)
{
    new ContentsKeeper(window);
}

} // namespace airlark
