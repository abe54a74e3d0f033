#pragma once
// What independent readers make of an image: isoinfo's listings, and trees extracted by
// xorriso and 7z compared file by file.

#include <map>
#include <string>
#include <utility>

// Every entry that `isoinfo -l` (with flags such as -R or -J) lists, by full path ("/DATA/A.BIN;1"),
// with the extent it shows; the self and parent entries are left out.
std::map<std::string, long> listed_extents(const std::string& image, const std::string& flags = "");

// The catalog sector and the first boot image's sector that `xorriso -report_el_torito`
// shows, or -1 for each that it does not show.
std::pair<long, long> el_torito(const std::string& image);

// Every regular file below root, by path relative to it, with its bytes.
std::map<std::string, std::string> tree_files(const std::string& root);

// Extracts the image with a reader ("xorriso" for its Rock Ridge / ISO 9660 tree, "7z",
// "7z-udf" for 7z's UDF reader, "udfclient" for udfclient's UDF reader) into folder; gives
// the reader's exit status.
int extract_with(const std::string& reader, const std::string& image, const std::string& folder);

// The bytes of a file of the image's UDF side as libcdio's iso-read -U reads them (path from
// the root, "/DATA/A.BIN"); empty when it cannot.
std::string udf_file_by_iso_read(const std::string& image, const std::string& path);

// What udfinfo reports of the image, one "key=value" per line.
std::string udfinfo(const std::string& image);
