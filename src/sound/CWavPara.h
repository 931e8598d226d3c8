#pragma once
class CWavPara {
public:
    explicit CWavPara(int windowMax = 441000);
    virtual ~CWavPara();
};
