#include "app/reader_settings.h"

#include <QByteArray>
#include <QDir>
#include <QSettings>
#include <QStandardPaths>
#include <QVariant>
#include <algorithm>

#include "app/gbk_qstring.h"
#include "app/reading_look.h"
#include "download/fetch_ahead.h"

namespace novel {
namespace {

const QString CHAPTER_LINK = QStringLiteral("reading/chapter_link");
const QString NEXT_LINK = QStringLiteral("reading/next_link");
const QString TEXT_SIZE = QStringLiteral("reading/text_size");
const QString FETCH_AHEAD = QStringLiteral("download/fetch_ahead");
const QString READING_THEME = QStringLiteral("reading/theme");
const QString FONT_FAMILY = QStringLiteral("reading/font_family");
const QString LINE_HEIGHT = QStringLiteral("reading/line_height");

QString flag_key(std::string_view name) {
    return QStringLiteral("switches/") +
           QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()));
}

// Far beyond any desktop, near enough to zero that no sum overflows.
constexpr long long FARTHEST_COORDINATE = 1'000'000;

QString window_key(std::string_view window, const char* field) {
    return qstring_from_utf8(window) + QLatin1Char('/') + QLatin1String(field);
}

// Links are written as bytes, so every GBK byte comes back; one typed into
// the file by hand arrives as text.
std::string link_of(const QVariant& value) {
    if (value.metaType() == QMetaType::fromType<QByteArray>()) {
        const QByteArray bytes = value.toByteArray();
        return {bytes.constData(), static_cast<std::size_t>(bytes.size())};
    }
    if (value.metaType() == QMetaType::fromType<QString>())
        return gbk_from_qstring(value.toString());
    return {};
}

// Numbers come back from the file as text, and as written within a run.
std::optional<long long> whole_number(const QVariant& value) {
    if (value.metaType() == QMetaType::fromType<int>()) return value.toInt();
    if (value.metaType() != QMetaType::fromType<QString>()) return std::nullopt;
    bool ok = false;
    const long long number = value.toString().trimmed().toLongLong(&ok);
    return ok ? std::optional(number) : std::nullopt;
}

long long overlap_area(const QRect& a, const QRect& b) {
    const QRect common = a.intersected(b);
    return common.isEmpty() ? 0 : static_cast<long long>(common.width()) * common.height();
}

}  // namespace

int clamp_text_size(long long pixels) {
    return static_cast<int>(std::clamp<long long>(pixels, SMALLEST_TEXT_SIZE, LARGEST_TEXT_SIZE));
}

int step_text_size(int pixels, int steps) {
    return clamp_text_size(static_cast<long long>(pixels) +
                           static_cast<long long>(steps) * TEXT_SIZE_STEP);
}

std::optional<QRect> place_on_screens(const QRect& saved, const QList<QRect>& screens,
                                      QSize minimum, QSize maximum) {
    const QRect* best = nullptr;
    long long best_area = 0;
    for (const QRect& screen : screens) {
        if (const long long area = overlap_area(saved, screen); area > best_area) {
            best = &screen;
            best_area = area;
        }
    }
    if (best == nullptr) return std::nullopt;
    const int width =
        std::min(std::clamp(saved.width(), minimum.width(), maximum.width()), best->width());
    const int height =
        std::min(std::clamp(saved.height(), minimum.height(), maximum.height()), best->height());
    const int left = std::clamp(saved.x(), best->x(), best->x() + best->width() - width);
    const int top = std::clamp(saved.y(), best->y(), best->y() + best->height() - height);
    return QRect(left, top, width, height);
}

QString user_settings_file() {
    QString folder = qEnvironmentVariable("XDG_CONFIG_HOME");
    // A relative folder would land wherever the program was started from.
    if (!QDir::isAbsolutePath(folder)) folder = QDir::homePath() + QStringLiteral("/.config");
    return QDir::cleanPath(folder + QStringLiteral("/novel_reader/settings.ini"));
}

ReaderSettings::ReaderSettings(const QString& file) {
    if (!file.isEmpty()) store_ = std::make_unique<QSettings>(file, QSettings::IniFormat);
}

ReaderSettings::~ReaderSettings() = default;

SavedPlace ReaderSettings::reading_place() const {
    if (!store_) return {};
    return {.chapter_link = link_of(store_->value(CHAPTER_LINK)),
            .next_link = link_of(store_->value(NEXT_LINK))};
}

void ReaderSettings::save_reading_place(const SavedPlace& place) {
    if (!store_) return;
    store_->setValue(CHAPTER_LINK, QByteArray::fromStdString(place.chapter_link));
    store_->setValue(NEXT_LINK, QByteArray::fromStdString(place.next_link));
    sync();
}

int ReaderSettings::text_size() const {
    if (!store_) return DEFAULT_TEXT_SIZE;
    return clamp_text_size(whole_number(store_->value(TEXT_SIZE)).value_or(DEFAULT_TEXT_SIZE));
}

void ReaderSettings::save_text_size(int pixels) {
    if (!store_) return;
    store_->setValue(TEXT_SIZE, clamp_text_size(pixels));
    sync();
}

int ReaderSettings::fetch_ahead() const {
    if (!store_) return kDefaultFetchAhead;
    return static_cast<int>(std::clamp<long long>(
        whole_number(store_->value(FETCH_AHEAD)).value_or(kDefaultFetchAhead), 1, kMostFetchAhead));
}

void ReaderSettings::save_fetch_ahead(int pages) {
    if (!store_) return;
    store_->setValue(FETCH_AHEAD, std::clamp(pages, 1, kMostFetchAhead));
    sync();
}

std::optional<QRect> ReaderSettings::window_place(std::string_view window) const {
    if (!store_) return std::nullopt;
    const auto field = [&](const char* name) -> std::optional<int> {
        const std::optional<long long> number =
            whole_number(store_->value(window_key(window, name)));
        if (!number || *number < -FARTHEST_COORDINATE || *number > FARTHEST_COORDINATE) {
            return std::nullopt;
        }
        return static_cast<int>(*number);
    };
    const std::optional<int> x = field("x");
    const std::optional<int> y = field("y");
    const std::optional<int> width = field("width");
    const std::optional<int> height = field("height");
    if (!x || !y || !width || !height || *width <= 0 || *height <= 0) return std::nullopt;
    return QRect(*x, *y, *width, *height);
}

void ReaderSettings::save_window_place(std::string_view window, const QRect& outer) {
    if (!store_) return;
    store_->setValue(window_key(window, "x"), outer.x());
    store_->setValue(window_key(window, "y"), outer.y());
    store_->setValue(window_key(window, "width"), outer.width());
    store_->setValue(window_key(window, "height"), outer.height());
    sync();
}

int ReaderSettings::choice(std::string_view name, int fallback) const {
    if (!store_) return fallback;
    const std::optional<long long> index = whole_number(
        store_->value(QStringLiteral("choices/") +
                      QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()))));
    return index && *index >= 0 && *index < 100 ? static_cast<int>(*index) : fallback;
}

void ReaderSettings::save_choice(std::string_view name, int index) {
    if (!store_) return;
    store_->setValue(QStringLiteral("choices/") +
                         QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())),
                     index);
    sync();
}

QByteArray ReaderSettings::window_geometry(std::string_view window) const {
    if (!store_) return {};
    return store_->value(window_key(window, "geometry")).toByteArray();
}

void ReaderSettings::save_window_geometry(std::string_view window, const QByteArray& geometry) {
    if (!store_) return;
    store_->setValue(window_key(window, "geometry"), geometry);
    sync();
}

namespace {
QString book_key(const std::string& book) {
    // Hex keeps any bytes of the book number out of the key's syntax.
    return QStringLiteral("download_paths/") +
           QString::fromLatin1(QByteArray::fromStdString(book).toHex());
}
}  // namespace

QString ReaderSettings::download_path_of_book(const std::string& book) const {
    if (!store_) return {};
    return store_->value(book_key(book)).toString();
}

void ReaderSettings::save_download_path_of_book(const std::string& book, const QString& path) {
    if (!store_) return;
    store_->setValue(book_key(book), path);
    sync();
}

std::optional<int> ReaderSettings::reading_theme() const {
    if (!store_) return std::nullopt;
    const std::optional<long long> index = whole_number(store_->value(READING_THEME));
    if (!index || *index < 0 || *index >= static_cast<long long>(READING_THEMES.size())) {
        return std::nullopt;
    }
    return static_cast<int>(*index);
}

void ReaderSettings::save_reading_theme(int index) {
    if (!store_) return;
    store_->setValue(READING_THEME, index);
    sync();
}

QString ReaderSettings::font_family() const {
    if (!store_) return {};
    return store_->value(FONT_FAMILY).toString();
}

void ReaderSettings::save_font_family(const QString& family) {
    if (!store_) return;
    store_->setValue(FONT_FAMILY, family);
    sync();
}

int ReaderSettings::line_height() const {
    if (!store_) return DEFAULT_LINE_HEIGHT;
    return static_cast<int>(std::clamp<long long>(
        whole_number(store_->value(LINE_HEIGHT)).value_or(DEFAULT_LINE_HEIGHT),
        SMALLEST_LINE_HEIGHT, LARGEST_LINE_HEIGHT));
}

void ReaderSettings::save_line_height(int percent) {
    if (!store_) return;
    store_->setValue(LINE_HEIGHT, std::clamp(percent, SMALLEST_LINE_HEIGHT, LARGEST_LINE_HEIGHT));
    sync();
}

bool ReaderSettings::flag(std::string_view name, bool fallback) const {
    if (!store_) return fallback;
    const QVariant value = store_->value(flag_key(name));
    if (value.metaType() == QMetaType::fromType<bool>()) return value.toBool();
    const QString text = value.toString().trimmed().toLower();
    if (text == QLatin1String("true") || text == QLatin1String("1")) return true;
    if (text == QLatin1String("false") || text == QLatin1String("0")) return false;
    return fallback;
}

void ReaderSettings::save_flag(std::string_view name, bool on) {
    if (!store_) return;
    store_->setValue(flag_key(name), on);
    sync();
}

void ReaderSettings::sync() {
    // QSettings writes a new file and renames it over the old one.
    store_->sync();
}

}  // namespace novel
