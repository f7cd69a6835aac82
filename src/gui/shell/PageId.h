#pragma once
// The six pages of the main window, in the order they are built and their buttons stand.
#include <array>

namespace orva {

enum class PageId { Diagnosis, Reset, ImgUpdate, Template, LogQuery, About };

inline constexpr std::array<PageId, 6> kAllPages = {PageId::Diagnosis, PageId::Reset,    PageId::ImgUpdate,
                                                    PageId::Template,  PageId::LogQuery, PageId::About};

inline constexpr int PageIndex(PageId id) {
    return static_cast<int>(id);
}

} // namespace orva
