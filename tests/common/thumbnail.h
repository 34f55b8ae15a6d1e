// Which picture is on screen: frames and screenshots compared with the disk's pictures by their 16 x 12
// thumbnails, made by ImageMagick's averaging resize (an outside decoder, not the program's own).
#pragma once

#include <cmath>
#include <map>
#include <string>
#include <vector>

#include "program.h"

// The picture at `path`, cut to `crop` ("WxH+X+Y") first when one is given, as 16 x 12 RGB values.
inline std::vector<int> Thumbnail(const std::string &path, const std::string &crop = "") {
  const std::string cut = crop.empty() ? "" : " -crop " + crop + " +repage";
  std::vector<int> thumb;
  for (char c : RunCommand("convert '" + path + "'" + cut + " -resize 16x12! -depth 8 rgb:-").out)
    thumb.push_back((unsigned char)c);
  return thumb;
}

// Mean difference of the values, 0 to 255; 255 for thumbnails of different sizes.
inline double ThumbnailDistance(const std::vector<int> &a, const std::vector<int> &b) {
  if (a.size() != b.size() || a.empty()) return 255;
  double sum = 0;
  for (size_t i = 0; i < a.size(); i++) sum += std::abs(a[i] - b[i]);
  return sum / (double)a.size();
}

// The name of the candidate nearest to `thumb`.
inline std::string NearestPicture(const std::vector<int> &thumb,
                                  const std::map<std::string, std::vector<int>> &candidates) {
  std::string best;
  double bestDistance = 1e9;
  for (const auto &[name, picture] : candidates)
    if (ThumbnailDistance(thumb, picture) < bestDistance) bestDistance = ThumbnailDistance(thumb, picture), best = name;
  return best;
}
