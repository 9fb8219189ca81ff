#include "host/config.h"

#include <climits>
#include <memory>

namespace {

template_parser::config::setting_name names[1];
std::unique_ptr<template_parser::config::log> the_log;

}  // namespace

namespace template_parser::config {

log::log() : kv_share::ini_file("") { reset(); }

void log::reset() {
  sections.clear();
  set_value("output", "output_type", "0");
}

}  // namespace template_parser::config

const template_parser::config::setting_name& setting_names(int id) {
  (void)id;  // one row only
  return names[0];
}

template_parser::config::log* global_log() { return the_log.get(); }

int start_config(const std::string& path) {
  names[0] = {"output", "output_type"};
  the_log = std::make_unique<template_parser::config::log>();
  the_log->load(path);
  the_log->save("");
  return 1;
}

void stop_config() {
  if (!the_log) return;
  the_log->save("");
  the_log.reset();  // its destructor writes the file once more
}

std::string setting_text() {
  if (!the_log) return {};
  const kv_share::ini_entry* e = the_log->find_value(names[0].section, names[0].key);
  return e ? e->value : std::string();
}

int read_output_type() {
  const std::string text = setting_text();
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  long long value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = value * 10 + (text[i] - '0');
    if (value > static_cast<long long>(INT_MAX) + 1) value = static_cast<long long>(INT_MAX) + 1;  // saturate
  }
  if (negative) value = -value;
  if (value > INT_MAX) value = INT_MAX;
  return static_cast<int>(value);
}
