#pragma once

#include <map>

namespace nubo {

// Which records a decoding command decodes: regions by stream position, and the background.
class RegionSelection {
public:
    // Creates entries 0 .. n - 1, each false.
    void initRegions(int n)
    {
        regions_.clear();
        for (int i = 0; i < n; ++i)
            regions_[i] = false;
    }

    int regionCount() const { return static_cast<int>(regions_.size()); }

    // False for a position without an entry.
    bool isSelected(int i) const
    {
        const auto it = regions_.find(i);
        return it != regions_.end() && it->second;
    }

    // Only positions created by initRegions can be selected.
    void select(int i)
    {
        const auto it = regions_.find(i);
        if (it != regions_.end())
            it->second = true;
    }

    bool background() const { return background_; }
    void setBackground(bool on) { background_ = on; }
    bool showOutlines() const { return showOutlines_; }
    void setShowOutlines(bool on) { showOutlines_ = on; }

private:
    bool background_ = false;
    std::map<int, bool> regions_;
    bool showOutlines_ = false;
};

} // namespace nubo
