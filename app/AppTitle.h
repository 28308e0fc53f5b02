#pragma once

// The application title: window caption and the caption of every message box.
inline constexpr const char* kAppTitle = "벨트랙스(Veltrax) - 스캔한 문서 이미지 자동 보정";
