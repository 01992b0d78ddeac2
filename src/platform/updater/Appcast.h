#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tilvane::updates {

/// One version on offer in the update feed.
struct AppcastItem {
  std::string title;
  /// A numeric version ("1.3").
  std::string version;
  /// The page that tells what changed (http or https); may be empty.
  std::string releaseNotesLink;
  /// The enclosure's address (http or https); may be empty.
  std::string downloadLink;
};

/// What reading a feed gave: its valid items, or why it could not be read.
struct Appcast {
  std::vector<AppcastItem> items;
  /// Empty when the feed was read.
  std::string error;
};

/// Reads an update feed, untrusted text, in this form:
///
///   <rss version="2.0"><channel>
///     <item>
///       <title>Tilvane 1.3</title>
///       <version>1.3</version>
///       <releaseNotesLink>https://tilvane.app/releases/1.3</releaseNotesLink>
///       <enclosure url="https://tilvane.app/download/tilvane-1.3.tar.xz" type="application/x-xz"/>
///     </item>
///   </channel></rss>
///
/// An item without a numeric version, or with a link that is not an http(s) address, is left out. Not XML, a
/// document type declaration, another root, markup inside a text field, or no valid item at all is an error.
Appcast parseAppcast(std::string_view xml);

/// The item with the highest version (the first of equals); null when there are none.
const AppcastItem* newestItem(const Appcast& appcast);

}  // namespace tilvane::updates
