// The instance store on Windows: a named mapping on the page file, a named
// semaphore of count 1 as the lock, and named events signalled when values
// are added or changed. The kernel removes the objects with their last user,
// so the first instance after all others have ended finds an empty store.

#include "instance/CSharedMemory.h"

#include <windows.h>

#include <vector>

namespace {

// Grants everything to interactive users, the local system and services.
class ExplicitSecurity {
public:
    ~ExplicitSecurity()
    {
        for (PSID sid : sids_)
            FreeSid(sid);
    }

    DWORD Build()
    {
        SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
        for (DWORD rid : {DWORD(SECURITY_INTERACTIVE_RID), DWORD(SECURITY_LOCAL_SYSTEM_RID),
                          DWORD(SECURITY_SERVICE_RID)}) {
            PSID sid = nullptr;
            if (!AllocateAndInitializeSid(&nt, 1, rid, 0, 0, 0, 0, 0, 0, 0, &sid))
                return GetLastError();
            sids_.push_back(sid);
        }
        DWORD aclSize = sizeof(ACL);
        for (PSID sid : sids_)
            aclSize += sizeof(ACCESS_ALLOWED_ACE) - sizeof(DWORD) + GetLengthSid(sid);
        acl_.resize(aclSize);
        PACL acl = reinterpret_cast<PACL>(acl_.data());
        if (!InitializeAcl(acl, aclSize, ACL_REVISION2))
            return GetLastError();
        for (PSID sid : sids_)
            if (!AddAccessAllowedAce(acl, ACL_REVISION2, 0x1FFFFF, sid))
                return GetLastError();
        if (!InitializeSecurityDescriptor(&descriptor_, SECURITY_DESCRIPTOR_REVISION) ||
            !SetSecurityDescriptorDacl(&descriptor_, TRUE, acl, FALSE))
            return GetLastError();
        attributes_.nLength = sizeof attributes_;
        attributes_.lpSecurityDescriptor = &descriptor_;
        attributes_.bInheritHandle = TRUE;
        return ERROR_SUCCESS;
    }

    SECURITY_ATTRIBUTES *Attributes() { return &attributes_; }

private:
    std::vector<PSID> sids_;
    std::vector<BYTE> acl_;
    SECURITY_DESCRIPTOR descriptor_{};
    SECURITY_ATTRIBUTES attributes_{};
};

// The explicit security is used on the versions that report minor 51, 0 or 1.
bool WantsExplicitSecurity()
{
    OSVERSIONINFOA info{};
    info.dwOSVersionInfoSize = sizeof info;
#ifdef _MSC_VER
#pragma warning(suppress : 4996) // GetVersionExA is deprecated, and wanted here
#endif
    if (!GetVersionExA(&info))
        return false;
    return info.dwMajorVersion >= 3 &&
           (info.dwMinorVersion == 51 || info.dwMinorVersion == 0 || info.dwMinorVersion == 1);
}

} // namespace

struct CSharedMemory::Impl {
    std::string name;
    uint32_t size = 0;
    HANDLE semaphore = nullptr;
    HANDLE mapping = nullptr;
    uint8_t *view = nullptr;
    size_t mapped = 0; // the view's size; the region's header says how much of it is used
    bool created = true;
    bool open = false;
    std::unique_ptr<ExplicitSecurity> security;

    // The lock is there but not the region yet: the first operation that
    // gets the lock maps it.
    bool Pending() const { return semaphore && !open; }

    SECURITY_ATTRIBUTES *Attributes() { return security ? security->Attributes() : nullptr; }

    void Signal(const std::string &eventName)
    {
        if (HANDLE event = CreateEventA(Attributes(), TRUE, FALSE, eventName.c_str())) {
            SetEvent(event);
            CloseHandle(event);
        }
    }

    DWORD Open(const std::string &regionName, uint32_t regionSize)
    {
        name = regionName;
        size = regionSize;
        if (WantsExplicitSecurity()) {
            security = std::make_unique<ExplicitSecurity>();
            if (const DWORD error = security->Build())
                return error;
        }
        semaphore = CreateSemaphoreA(Attributes(), 1, 1, (name + "_Sync").c_str());
        if (!semaphore)
            return GetLastError();
        // Making the store never waits: while another process holds the
        // lock, the first operation that gets it opens the region.
        if (WaitForSingleObject(semaphore, 0) != WAIT_OBJECT_0)
            return ERROR_SUCCESS; // pending
        const DWORD error = Map();
        ReleaseSemaphore(semaphore, 1, nullptr);
        return error;
    }

    DWORD Map()
    {
        mapping = CreateFileMappingA(INVALID_HANDLE_VALUE, Attributes(), PAGE_READWRITE, 0, size, name.c_str());
        if (!mapping)
            return GetLastError();
        created = GetLastError() != ERROR_ALREADY_EXISTS;
        view = static_cast<uint8_t *>(MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, 0));
        if (!view)
            return GetLastError();
        MEMORY_BASIC_INFORMATION info{};
        mapped = VirtualQuery(view, &info, sizeof info) ? info.RegionSize : size;
        if (created)
            InitRegion({view, size});
        open = true;
        return ERROR_SUCCESS;
    }

    void Close()
    {
        if (view)
            UnmapViewOfFile(view);
        if (mapping)
            CloseHandle(mapping);
        if (semaphore)
            CloseHandle(semaphore);
        view = nullptr;
        mapping = semaphore = nullptr;
        open = false;
    }
};

CSharedMemory::CSharedMemory(const std::string &name, uint32_t size)
    : impl_(std::make_unique<Impl>())
{
    if (const DWORD error = impl_->Open(name, size)) {
        impl_->Close();
        SetLastError(error);
        ::SetLastError(error);
    }
}

CSharedMemory::~CSharedMemory() { impl_->Close(); }

bool CSharedMemory::IsOpen() const { return impl_->open || impl_->Pending(); }

bool CSharedMemory::IsCreated() const { return impl_->created; }

StoreError CSharedMemory::WithLockedRegion(const std::function<StoreError(RegionBytes)> &operation)
{
    if (!IsOpen())
        return StoreError::NotOpen;
    const DWORD waited = WaitForSingleObject(impl_->semaphore, DWORD(kLockWaitBound.count()));
    if (waited == WAIT_TIMEOUT) {
        LockBusy busy;
        busy.file = impl_->name + "_Sync";
        SetBusyLock(busy); // the holder of a semaphore is not known
        ::SetLastError(static_cast<DWORD>(StoreError::LockBusy));
        return StoreError::LockBusy;
    }
    if (waited != WAIT_OBJECT_0)
        return StoreError::NotOpen;
    if (impl_->Pending()) {
        if (const DWORD error = impl_->Map()) {
            ReleaseSemaphore(impl_->semaphore, 1, nullptr);
            impl_->Close();
            SetLastError(error);
            return StoreError::NotOpen;
        }
    }
    const StoreError e = operation({impl_->view, impl_->mapped});
    ReleaseSemaphore(impl_->semaphore, 1, nullptr);
    if (e != StoreError::None)
        ::SetLastError(static_cast<DWORD>(e));
    return e;
}

void CSharedMemory::ValueAdded() { impl_->Signal(impl_->name + "_Event"); }

void CSharedMemory::ValueChanged(const std::string &name) { impl_->Signal(name + "_Event"); }
