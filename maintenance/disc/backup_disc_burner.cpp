#include "maintenance/disc/backup_disc_burner.h"

#include <algorithm>
#include <memory>

#include "maintenance/backup/backup_download.h"
#include "maintenance/disc/write_cd_setting_dialog.h"

namespace {

class DiscBackupBurner final : public maintenance::BackupBurner {
public:
    maintenance::BurnPreparation Prepare(QWidget* parent, const std::filesystem::path& file,
                                         std::uint64_t sizeBytes) override {
        constexpr std::uint64_t kMiB = 1'048'576;
        const std::uint64_t mb = std::min<std::uint64_t>((sizeBytes + kMiB - 1) / kMiB, UINT32_MAX);
        return PrepareBackupBurn(parent, file.string(), static_cast<std::uint32_t>(mb));
    }
    void Burn(const std::filesystem::path&) override { BurnPreparedBackup(); }
    void RequestAbort() override { AbortBackupBurn(); }
};

}  // namespace

void InstallBackupDiscBurner() {
    maintenance::SetBackupBurner(std::make_shared<DiscBackupBurner>());
}
