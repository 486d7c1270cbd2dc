#pragma once
// The registry export text as a QSettings format, for the file that stands in
// for the registry off Windows.
//
// A QSettings key is the registry path of a value with '/' between its parts,
// "HKEY_CURRENT_USER/SOFTWARE/Brondel/Verrin/A/CommPort"; a key's default value
// ("@" in the text) is named "@". A DWORD is a quint32, a string a QString, and
// a value of any other type a QByteArray holding its data text as written, so
// that it is written back unchanged. A file without the export header reads as
// a format error with no keys.

#include "settings/RegExport.h"

#include <QSettings>

QSettings::Format RegFileFormat();

QVariant ToVariant(const RegValue &value);
RegValue FromVariant(const QVariant &variant);
