#include "netview/RunNetView.h"

#include "netview/CCloseNetview.h"
#include "netview/CNetViewDlg.h"
#include "netview/MeshScan.h"
#include "netview/NetViewHost.h"

#include <cstring>

void RunNetView(NetViewHost &host, QWidget *parent)
{
    host.ClearTerminal();
    // The view opens whatever the write's outcome; a failure is reported by
    // the port itself.
    host.WriteBytes(reinterpret_cast<const uint8_t *>(kInfoCommand),
                    static_cast<uint32_t>(std::strlen(kInfoCommand)));

    CNetViewDlg view(host, parent);
    view.exec(); // its result does not matter here

    CCloseNetview closing(host, parent);
    closing.exec();
}
