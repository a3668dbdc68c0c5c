// GLib's headers name struct members "signals", which Qt defines as a keyword: this file
// includes no Qt header.
#include "devices/desktop/GnomeBackground.h"

#include <gio/gio.h>

namespace qm {

bool SetGnomeBackground(const std::string& fileName, bool tile) {
  GSettingsSchemaSource* source = g_settings_schema_source_get_default();
  GSettingsSchema* schema =
      source ? g_settings_schema_source_lookup(source, "org.gnome.desktop.background", TRUE) : nullptr;
  // An older or foreign schema without the keys counts as none (GSettings aborts on a
  // key it does not know).
  if (schema && !(g_settings_schema_has_key(schema, "picture-uri") &&
                  g_settings_schema_has_key(schema, "picture-options"))) {
    g_settings_schema_unref(schema);
    schema = nullptr;
  }
  if (!schema) return false;
  gchar* uri = g_filename_to_uri(fileName.c_str(), nullptr, nullptr);
  if (!uri) {
    g_settings_schema_unref(schema);
    return false;
  }
  GSettings* settings = g_settings_new_full(schema, nullptr, nullptr);
  g_settings_set_string(settings, "picture-uri", uri);
  // The dark style has a picture of its own since GNOME 42.
  if (g_settings_schema_has_key(schema, "picture-uri-dark")) g_settings_set_string(settings, "picture-uri-dark", uri);
  g_settings_set_string(settings, "picture-options", tile ? "wallpaper" : "centered");
  g_settings_sync();
  g_object_unref(settings);
  g_free(uri);
  g_settings_schema_unref(schema);
  return true;
}

}  // namespace qm
