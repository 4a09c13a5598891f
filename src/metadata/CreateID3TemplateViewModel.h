#pragma once

#include <QString>
#include <QUrl>
#include <optional>

namespace airlark {

// Why a template could not be saved.
enum class ID3TemplateFieldValidationError
{
    Name,     // the podcast name is empty
    Database, // the store cannot be opened
    Save,     // the insert yielded nothing (for example, a template with that name exists)
};

QString printable(ID3TemplateFieldValidationError error);

class CreateID3TemplateViewModel;

class CreateID3TemplateViewModelDelegate
{
public:
    virtual ~CreateID3TemplateViewModelDelegate() = default;
    // Sent after every assignment of a field, changed or not.
    virtual void createID3TemplateViewModelFieldValuesDidChange(CreateID3TemplateViewModel& viewModel) = 0;
};

// The logic of the template-creation window: podcast name, artist and artwork file, and the save
// that inserts them as a new template.
class CreateID3TemplateViewModel
{
public:
    CreateID3TemplateViewModelDelegate* delegate = nullptr; // weak

    const QString& podcast() const { return podcast_; }
    void setPodcast(const QString& podcast);
    const QString& artist() const { return artist_; }
    void setArtist(const QString& artist);
    const std::optional<QUrl>& artworkURL() const { return artworkURL_; }
    void setArtworkURL(std::optional<QUrl> url);

    QString artworkURLDisplay() const;
    // White space counts as content; only zero characters is empty.
    bool canSave() const;

    // Inserts the template; nothing on success, else why not. On success the insert posts
    // "id3_template_created".
    std::optional<ID3TemplateFieldValidationError> save() const;
    bool saveAndReturnError(ID3TemplateFieldValidationError* error) const;

private:
    void notify();

    QString podcast_ = QStringLiteral("");
    QString artist_ = QStringLiteral("");
    std::optional<QUrl> artworkURL_;
};

} // namespace airlark
