#include "render/pre_render_data.h"

#include "host/suite_handler.h"

namespace velkor {

void delete_pre_render_data(void* pre_render_data)
{
    auto* data = static_cast<PreRenderData*>(pre_render_data);
    if (data == nullptr) return;
    if (data->basic != nullptr && data->settings_handle != nullptr) {
        const void* suite = nullptr;
        if (data->basic->AcquireSuite(kHandleSuite.name, kHandleSuite.version, &suite) == 0 &&
            suite != nullptr) {
            static_cast<const PF_HandleSuite1*>(suite)->host_dispose_handle(data->settings_handle);
            data->basic->ReleaseSuite(kHandleSuite.name, kHandleSuite.version);
        }
    }
    delete data;
}

PreRenderHandover::PreRenderHandover(PF_PreRenderOutput& output,
                                     std::unique_ptr<PreRenderData> data)
    : output_(output), data_(std::move(data))
{
    output_.pre_render_data = data_.get();
    output_.delete_pre_render_data_func = delete_pre_render_data;
}

PreRenderHandover::~PreRenderHandover()
{
    if (data_ != nullptr && output_.pre_render_data == data_.get()) {
        output_.pre_render_data = nullptr;
        output_.delete_pre_render_data_func = nullptr;
    }
}

}  // namespace velkor
