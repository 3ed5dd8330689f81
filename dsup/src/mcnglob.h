// Module globals: written once by the module entry, read everywhere after.
#pragma once

extern void **mcn_connection;  // the host service vector root
extern void *mcn_module;       // the module handle, used to resolve host routines
extern void *mcn_kernel;       // word 82 of the connection, for the support libraries
