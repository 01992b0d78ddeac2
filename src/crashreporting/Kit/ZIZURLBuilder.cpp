#include "crashreporting/Kit/ZIZURLBuilder.h"

#include "platform/net/WebURL.h"

namespace crashreporting {
namespace {

bool staysAsItIs(unsigned char c) {
  if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) return true;
  return std::string_view("-._~!$&'()*+,/:;=?@").find(static_cast<char>(c)) != std::string_view::npos;
}

}  // namespace

ZIZURLBuilder ZIZURLBuilder::URLWithBase(std::string_view base) {
  ZIZURLBuilder builder;
  builder.urlString_ = std::string(base);
  return builder;
}

void ZIZURLBuilder::appendComponent(std::string_view component) { urlString_.append(component); }

std::string ZIZURLBuilder::escapeString(std::string_view text) {
  static constexpr char hex[] = "0123456789ABCDEF";
  std::string escaped;
  escaped.reserve(text.size());
  for (const char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    if (staysAsItIs(c)) {
      escaped.push_back(ch);
    } else {
      escaped.push_back('%');
      escaped.push_back(hex[c >> 4]);
      escaped.push_back(hex[c & 0x0F]);
    }
  }
  return escaped;
}

void ZIZURLBuilder::escapeAndAppendComponent(std::string_view component) {
  appendComponent(escapeString(component));
}

void ZIZURLBuilder::appendValue(const std::optional<Value>& value, std::string_view queryParam) {
  if (!value) return;
  urlString_.push_back(queryParams_ == 0 ? '?' : '&');
  ++queryParams_;
  urlString_.append(queryParam).push_back('=');
  const auto* text = value->get<std::string>();
  urlString_.append(escapeString(text ? *text : value->description()));
}

std::optional<std::string> ZIZURLBuilder::URL() const {
  if (!tilvane::net::isWebURL(urlString_)) return std::nullopt;
  return urlString_;
}

}  // namespace crashreporting
