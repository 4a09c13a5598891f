#include "metadata/ui/FileDropLocationView.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QImageReader>
#include <QKeyEvent>
#include <QMimeData>
#include <QPainter>
#include <QPainterPath>
#include <utility>

namespace airlark {

FileDropLocationView::FileDropLocationView(QWidget* parent) : QWidget(parent)
{
    setMinimumSize(96, 96);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

FileDropLocationView::~FileDropLocationView() = default;

void FileDropLocationView::registerForDraggedTypes()
{
    setAcceptDrops(!getPboardTypes().isEmpty());
}

void FileDropLocationView::setHighlight(bool highlight)
{
    highlight_ = highlight;
    update();
}

void FileDropLocationView::setImage(const QImage& image)
{
    iconFile_.clear();
    image_ = image;
    icon_ = image.isNull() ? QIcon() : QIcon(QPixmap::fromImage(image));
    update();
}

void FileDropLocationView::setIconFile(const QString& fileName)
{
    iconFile_ = fileName;
    icon_ = QIcon();
    image_ = QImage();
    update();
}

bool FileDropLocationView::canAcceptDrag(const QMimeData* mimeData) const
{
    return mimeData && mimeData->hasUrls() && rule().canAccept(mimeData->urls());
}

void FileDropLocationView::dragEnterEvent(QDragEnterEvent* event)
{
    if (!canAcceptDrag(event->mimeData())) {
        event->ignore();
        return;
    }
    setHighlight(true);
    event->setDropAction(Qt::CopyAction);
    event->accept();
}

void FileDropLocationView::dragMoveEvent(QDragMoveEvent* event)
{
    if (canAcceptDrag(event->mimeData())) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
    } else {
        event->ignore();
    }
}

void FileDropLocationView::dragLeaveEvent(QDragLeaveEvent* event)
{
    setHighlight(false);
    event->accept();
}

void FileDropLocationView::dropEvent(QDropEvent* event)
{
    setHighlight(false);
    const QMimeData* mimeData = event->mimeData();
    const std::optional<QUrl> file =
        mimeData && mimeData->hasUrls() ? rule().acceptedFile(mimeData->urls()) : std::nullopt;
    if (!file) {
        event->ignore();
        return;
    }
    // The image of the drag: image data when the drag carries some, else the file when it is an image.
    QImage dropped;
    if (mimeData->hasImage())
        dropped = qvariant_cast<QImage>(mimeData->imageData());
    if (dropped.isNull()) {
        QImageReader reader(file->toLocalFile());
        if (reader.canRead() && reader.size().isValid())
            dropped = reader.read();
    }
    setImage(dropped);
    imageFileURL_ = dropped.isNull() ? std::nullopt : file;
    event->setDropAction(Qt::CopyAction);
    event->accept();
    if (delegate_)
        delegate_->didSetFileWithURL(*file);
}

void FileDropLocationView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    const QRect area = rect().adjusted(6, 6, -6, -6);
    if (!iconFile_.isEmpty())
        icon_ = QIcon(std::exchange(iconFile_, QString()));
    if (!icon_.isNull()) {
        // Fit the image into the area, keeping its proportions.
        const QSize natural = image_.isNull() ? icon_.actualSize(area.size()) : image_.size();
        const QSize fitted = natural.scaled(area.size(), Qt::KeepAspectRatio);
        const QRect target(area.center() - QPoint(fitted.width() / 2, fitted.height() / 2), fitted);
        icon_.paint(&painter, target);
    }
    if (highlight_) {
        const double inset = HighlightLineWidth / 2.0;
        QPainterPath path;
        path.addRoundedRect(QRectF(rect()).adjusted(inset, inset, -inset, -inset), CornerRadius,
                            CornerRadius);
        painter.setPen(QPen(QColor(Qt::gray), HighlightLineWidth));
        painter.setBrush(Qt::NoBrush);
        painter.drawPath(path);
    }
    if (hasFocus()) {
        QPen pen(palette().color(QPalette::Highlight), 2, Qt::DotLine);
        painter.setPen(pen);
        painter.drawRoundedRect(QRectF(rect()).adjusted(1, 1, -1, -1), CornerRadius, CornerRadius);
    }
}

void FileDropLocationView::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        emit activated();
    QWidget::mouseReleaseEvent(event);
}

void FileDropLocationView::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Space || event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        emit activated();
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}

ImageFileDropLocationView::ImageFileDropLocationView(QWidget* parent) : FileDropLocationView(parent)
{
    registerForDraggedTypes();
}

AudioFileDropLocationView::AudioFileDropLocationView(QWidget* parent) : FileDropLocationView(parent)
{
    registerForDraggedTypes();
}

} // namespace airlark
