// Win32 platform services. TODO(foundation)
