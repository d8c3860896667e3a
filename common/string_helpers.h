#pragma once
#include <QString>

namespace velmo {

// Substrings for the column splitting of menu-file lines. Positions count
// from 1; a range reaching past the end gives what is there.
QString midstr(const QString& s, int start, int count);  // count characters from start
QString LeftStr(const QString& s, int n);                // the first n characters
QString rightStr(const QString& s, int n);               // the last n characters

}  // namespace velmo
