// The device API form: the user picks a device API function, fills its arguments and calls
// it; the form shows the return value, the outcome and, for block transfers, a 64-byte data
// buffer that can be edited byte by byte.
#ifndef TRAXGUI_FRMTRAXAPI_H
#define TRAXGUI_FRMTRAXAPI_H

#include "traxForm.h"

#include <array>
#include <cstdint>
#include <memory>
#include <span>

namespace Ui {
class frmTraxApi;
}

namespace traxgui {

/// The path that the device API form opened; 0 means none. The MT driver form works on it.
extern int32_t CurrentPath;

class frmTraxApi : public TraxForm {
    Q_OBJECT

  public:
    static constexpr int kBufferSize = 64;

    /// Creates the form; load runs its load procedure.
    explicit frmTraxApi(QWidget *parent = nullptr);
    ~frmTraxApi() override;

    /// Offers the functions, hides the frames and reports that no path is open.
    void load() override;

    /// The data buffer whose address is passed to the block calls.
    std::span<const uint8_t> DataBuf() const { return dataBuf_; }

    /// Shows the Data Buffer frame with the buffer's current contents.
    void ShowDataBuffer();
    /// Stores the value box into the byte that the byte box names.
    void SetBufByte();

    /// One function of the list: how the argument area is laid out and what the call does.
    struct FunctionRow;

  private:
    static std::span<const FunctionRow> functionRows();

    void fitDumpAreaToEightRows();

    void onFunctionChosen();
    void resetArgumentArea();
    void applyRow(const FunctionRow &row);
    void resetSavedDataText();
    void showBlockBufferAddress();
    void showStringFrame();

    void onArgChanged(int index);
    void onStatusCodeChanged();
    void setBlockMode(bool on);

    void onCall();
    void callOpen();
    void callClose();
    void callRead();
    void callWrite();
    void callGetstat();
    void callSetstat();
    void callGetblock();
    void callSetblock();
    void callBlockTransfer(bool write);
    void callErrstring();
    bool readBlockSize(int32_t &size);
    void finishStatusCall(int32_t ret, int32_t code, int32_t blockSizeShown);
    bool report(int32_t ret);
    void reportWithArg(int32_t ret, int argIndex, const QString &argText);
    void dumpDataBuffer();

    void onClearAll();

    std::unique_ptr<Ui::frmTraxApi> ui_;
    std::array<uint8_t, kBufferSize> dataBuf_{};
    bool blockMode_ = false;
    bool updating_ = false;
    QString savedDataText_;
};

} // namespace traxgui

#endif
