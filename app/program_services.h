#pragma once
// The reader handlers' real services: the chapter pipeline, and the paging
// hot key taken system-wide through X11 where the windows run on X11.

#include <QObject>
#include <functional>
#include <memory>

#include "app/reader_handlers.h"

namespace novel {

class GlobalHotKeys;

class ProgramServices final : public ReaderServices {
public:
    // receiver gives the object that hot-key notifications are posted to
    // (the reader window's 标签1), or null when there is none.
    explicit ProgramServices(std::function<QObject*()> receiver);
    ~ProgramServices() override;
    ProgramServices(const ProgramServices&) = delete;
    ProgramServices& operator=(const ProgramServices&) = delete;

    void show_chapter(std::string_view link) override;
    [[nodiscard]] std::int32_t register_hot_key(std::uint32_t modifiers,
                                                std::uint32_t virtual_key) override;

private:
    std::function<QObject*()> receiver_;
    std::unique_ptr<GlobalHotKeys> hot_keys_;
};

}  // namespace novel
