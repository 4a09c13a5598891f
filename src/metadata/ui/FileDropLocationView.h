#pragma once

#include "metadata/FileDropLocationViewDelegate.h"
#include "metadata/FileDropRule.h"

#include <QIcon>
#include <QImage>
#include <QUrl>
#include <QWidget>
#include <optional>

class QMimeData;

namespace airlark {

// An image area onto which the user can drag a file from the desktop. It accepts a drag when the
// first dragged file has one of its allowed extensions, draws a rounded grey outline while an
// acceptable drag hovers over it, shows the dropped content as its image and tells its delegate
// the dropped file's URL. It also simply shows an image (the metadata step's artwork).
class FileDropLocationView : public QWidget
{
    Q_OBJECT
public:
    static constexpr double CornerRadius = 10.0;
    static constexpr double HighlightLineWidth = 5.0;

    explicit FileDropLocationView(QWidget* parent = nullptr);
    ~FileDropLocationView() override;

    // Allowed extensions (getFileTypes) and the drag data registered for (getPboardTypes).
    QStringList getFileTypes() const { return rule().fileTypes(); }
    QStringList getPboardTypes() const { return rule().mimeTypes(); }

    FileDropLocationViewDelegate* delegate() const { return delegate_; }
    void setDelegate(FileDropLocationViewDelegate* delegate) { delegate_ = delegate; }

    bool highlight() const { return highlight_; }
    void setHighlight(bool highlight);

    // The image shown, scaled to fit; null while a named image is shown instead. A named image (an
    // SVG file) stays sharp at any scale; it is read when the view is first drawn with it, which
    // keeps Qt's SVG library out of the window's first frame.
    QImage image() const { return image_; }
    void setImage(const QImage& image);
    void setIconFile(const QString& fileName);
    // Where the shown image came from, when it came from a file.
    const std::optional<QUrl>& imageFileURL() const { return imageFileURL_; }
    void setImageFileURL(std::optional<QUrl> url) { imageFileURL_ = std::move(url); }

    bool canAcceptDrag(const QMimeData* mimeData) const;

    QSize sizeHint() const override { return {200, 200}; }

signals:
    // Also emitted when the view is clicked or activated from the keyboard (Space or Enter).
    void activated();

protected:
    virtual FileDropRule rule() const { return FileDropRule({}, true); }

    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

    // Makes the drop target take drags of its types; a subclass calls it from its constructor.
    void registerForDraggedTypes();

private:
    bool highlight_ = false;
    FileDropLocationViewDelegate* delegate_ = nullptr; // weak
    QImage image_;
    QIcon icon_;
    QString iconFile_; // read into icon_ at the next paint
    std::optional<QUrl> imageFileURL_;
};

// The image target: declares JPEG and PNG files, accepts no drag.
class ImageFileDropLocationView : public FileDropLocationView
{
    Q_OBJECT
public:
    explicit ImageFileDropLocationView(QWidget* parent = nullptr);

protected:
    FileDropRule rule() const override { return FileDropRule::image(); }
};

// The audio target: MP3 files.
class AudioFileDropLocationView : public FileDropLocationView
{
    Q_OBJECT
public:
    explicit AudioFileDropLocationView(QWidget* parent = nullptr);

protected:
    FileDropRule rule() const override { return FileDropRule::audio(); }
};

} // namespace airlark
