#include "platform/updater/Appcast.h"

#include <QByteArray>
#include <QUrl>
#include <QXmlStreamReader>

#include "platform/updater/Versions.h"

namespace tilvane::updates {
namespace {

constexpr std::size_t kMaxItems = 1000;
constexpr qsizetype kMaxField = 2048;

bool isWebLink(const QString& text) {
  if (text.size() > kMaxField) return false;
  const QUrl url(text, QUrl::StrictMode);
  return url.isValid() && (url.scheme() == "https" || url.scheme() == "http") && !url.host().isEmpty();
}

class Reader {
 public:
  explicit Reader(std::string_view xml)
      : xml_(QByteArray::fromRawData(xml.data(), static_cast<qsizetype>(xml.size()))) {}

  Appcast read() {
    Appcast appcast;
    if (!nextElement()) return failed("the feed is empty or not XML");
    if (xml_.name() != QLatin1String("rss")) return failed("the feed is not an RSS document");
    while (nextChildOf("rss")) {
      if (xml_.name() == QLatin1String("channel")) {
        readChannel(appcast);
      } else {
        xml_.skipCurrentElement();
      }
    }
    // Whatever follows the root must still be well-formed: a truncated document is not a feed.
    while (!xml_.atEnd() && !xml_.hasError()) xml_.readNext();
    if (!error_.empty()) return failed(error_);
    if (xml_.hasError()) return failed("the feed is not well-formed XML (" + xml_.errorString().toStdString() + ")");
    if (appcast.items.empty()) return failed("the feed lists no valid version");
    return appcast;
  }

 private:
  Appcast failed(const std::string& why) {
    Appcast appcast;
    appcast.error = why;
    return appcast;
  }

  // The next start element anywhere; false at the end, on an error or on a document type declaration (which
  // an update feed never needs, and which could declare entities).
  bool nextElement() {
    while (!xml_.atEnd()) {
      xml_.readNext();
      if (xml_.tokenType() == QXmlStreamReader::DTD) {
        error_ = "the feed declares a document type";
        return false;
      }
      if (xml_.isStartElement()) return true;
    }
    return false;
  }

  // The next child element of the current element `parent`; false at its end.
  bool nextChildOf(const char* parent) {
    while (!xml_.atEnd()) {
      xml_.readNext();
      if (xml_.isStartElement()) return true;
      if (xml_.isEndElement() && xml_.name() == QLatin1String(parent)) return false;
    }
    return false;
  }

  void readChannel(Appcast& appcast) {
    while (nextChildOf("channel")) {
      if (xml_.name() != QLatin1String("item")) {
        xml_.skipCurrentElement();
        continue;
      }
      AppcastItem item;
      if (readItem(item) && appcast.items.size() < kMaxItems) appcast.items.push_back(std::move(item));
    }
  }

  bool readItem(AppcastItem& item) {
    bool valid = true;
    QString version;
    QString notes;
    QString download;
    QString title;
    while (nextChildOf("item")) {
      const auto name = xml_.name();
      if (name == QLatin1String("enclosure")) {
        download = xml_.attributes().value("url").toString().trimmed();
        valid = valid && isWebLink(download);
        xml_.skipCurrentElement();
      } else if (name == QLatin1String("version") || name == QLatin1String("releaseNotesLink") ||
                 name == QLatin1String("title")) {
        QString* field = name == QLatin1String("version") ? &version
                         : name == QLatin1String("title") ? &title
                                                          : &notes;
        // Markup inside a text field is an error of the whole feed: raised by the reader itself.
        *field = xml_.readElementText(QXmlStreamReader::ErrorOnUnexpectedElement).trimmed();
        if (field->size() > kMaxField) valid = false;
      } else {
        xml_.skipCurrentElement();
      }
    }
    if (xml_.hasError()) return false;
    valid = valid && isNumericVersion(version.toStdString()) && (notes.isEmpty() || isWebLink(notes));
    if (!valid) return false;
    item.title = title.toStdString();
    item.version = version.toStdString();
    item.releaseNotesLink = notes.toStdString();
    item.downloadLink = download.toStdString();
    return true;
  }

  QXmlStreamReader xml_;
  std::string error_;
};

}  // namespace

Appcast parseAppcast(std::string_view xml) { return Reader(xml).read(); }

const AppcastItem* newestItem(const Appcast& appcast) {
  const AppcastItem* newest = nullptr;
  for (const AppcastItem& item : appcast.items)
    if (!newest || compareVersions(item.version, newest->version).value_or(0) > 0) newest = &item;
  return newest;
}

}  // namespace tilvane::updates
