#pragma once
// What the computer information window shows about this machine: processors and their
// speed, memory, operating system, names, address and free disk space. The real answers
// come from the kernel (cpufreq, /proc/cpuinfo, sysinfo(2)) and Qt; tests install their own.

#include "common/IpWatch.h"

#include <QString>

namespace duvo {

class SysInfo {
public:
    virtual ~SysInfo() = default;

    virtual int ProcessorCount();
    // The processor's rated frequency in MHz (cpufreq's maximum, else /proc/cpuinfo); 0 unknown.
    virtual int RawMHz();
    // The frequency it runs at now (cpufreq's current, else /proc/cpuinfo); 0 unknown.
    virtual int MeasuredMHz();
    // Total physical memory in MB (bytes / 1024 / 1024).
    virtual qint64 TotalMemoryMB();
    virtual QString OSName();
    // The kernel version stands for the service-pack level.
    virtual QString OSLevel();
    virtual QString ComputerName();
    virtual QString UserName();
    virtual IpWatchState IpState();
    // Free megabytes available to this user on the volume of the folder of `path`
    // (the file itself need not exist); -1 when it cannot be measured.
    virtual qint64 FreeDiskMB(const QString &path);

    static SysInfo &instance();
    static SysInfo *install(SysInfo *info);  // returns the previous one; nullptr: the real one
};

// Reads a frequency in MHz from cpufreq (`file` under cpu0/cpufreq, in kHz) or the first
// "cpu MHz" line of a /proc/cpuinfo text; 0 when neither holds one. Files are read from root.
int CpuMHzFrom(const QString &sysRoot, const char *cpufreqFile);

} // namespace duvo
