#pragma once
class CWorkMemory {
public:
    CWorkMemory();
    virtual ~CWorkMemory();
};
